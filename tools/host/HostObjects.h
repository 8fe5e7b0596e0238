// The automation objects the stand-in host hands to the extension: the host API object
// (GetInfo, Execute) and the skin object (SkinName). Late-bound only: names resolve to
// our DISPIDs and Invoke does the work. Nothing thrown here leaves through COM.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <deque>
#include <string>
#include <vector>

#include "tools/host/HostVariables.h"

namespace zelm::tools {

// An IDispatch without type information whose methods take texts and answer a text.
class TDispatchObject : public IDispatch {
 public:
  virtual ~TDispatchObject() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Iid, void** Out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* Count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** Info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* Names, UINT Count, LCID, DISPID* Ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID Id, REFIID, LCID, WORD Flags, DISPPARAMS* Params, VARIANT* Result,
                                   EXCEPINFO* Exception, UINT* ArgError) override;

 protected:
  virtual DISPID IdOf(const wchar_t* Name) const = 0;
  // Args come first first.
  virtual HRESULT Call(DISPID Id, const std::vector<std::u16string>& Args, std::u16string& Answer) = 0;

 private:
  LONG FRefs = 1;
};

// Commands that the host routes after the current call returns, as the front-end
// runs a skin's commands from its own loop: an extension is never re-entered from
// inside one of its own calls.
struct THostState {
  THostVariables Variables;
  std::deque<std::u16string> Commands;
  std::vector<std::string> Faults;
};

class THostApi final : public TDispatchObject {
 public:
  explicit THostApi(THostState& State) : FState(State) {}

 protected:
  DISPID IdOf(const wchar_t* Name) const override;
  HRESULT Call(DISPID Id, const std::vector<std::u16string>& Args, std::u16string& Answer) override;

 private:
  THostState& FState;
};

class TSkinObject final : public TDispatchObject {
 public:
  explicit TSkinObject(std::u16string Name) : FName(std::move(Name)) {}

 protected:
  DISPID IdOf(const wchar_t* Name) const override;
  HRESULT Call(DISPID Id, const std::vector<std::u16string>& Args, std::u16string& Answer) override;

 private:
  std::u16string FName;
};

}  // namespace zelm::tools
