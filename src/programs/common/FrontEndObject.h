// The objects a front-end hands the extension, as it meets RideRunner's: late-bound, an
// IDispatchEx whose GetInfo answers a variable query ("=$V$"), whose Execute runs a
// command batch (SETVAR and SAVETOSKIN on its variables; every other command routed,
// as RideRunner hands the commands it runs to its extensions), and whose SkinName
// answers the skin's name. One class serves as the host API object and the skin object,
// for the check tool and the stand-in front-end (the tests' scripted host is built on
// it). Nothing thrown here leaves through COM.
#pragma once

#include <windows.h>
#include <dispex.h>
#include <oaidl.h>

#include <functional>
#include <string>
#include <vector>

#include "programs/common/HostVariables.h"

namespace zelm::tools {

// Owned by whoever made it, which keeps it longer than any reference it hands out: the
// count is only watched, and Release never deletes it.
class TFrontEndObject : public IDispatchEx {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
 public:
  enum TMember : DISPID { cGetInfo = 1, cExecute = 2, cSkinName = 3 };

  // One call as it came: the member, its flags and its arguments as texts.
  struct TCall {
    std::wstring Name;
    WORD Flags = 0;
    std::vector<VARTYPE> Types;      // as the caller passed them, first argument first
    std::vector<std::wstring> Args;  // texts as they are, Booleans "true"/"false"
    bool AnswerAsked = false;        // a place for the answer was passed
    // "Name(arg,arg)", for a whole log in one comparison.
    std::wstring Text() const;
  };

  TFrontEndObject() = default;
  TFrontEndObject(const TFrontEndObject&) = delete;
  TFrontEndObject& operator=(const TFrontEndObject&) = delete;

  STDMETHODIMP QueryInterface(REFIID Iid, void** Out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++Refs); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--Refs); }

  STDMETHODIMP GetTypeInfoCount(UINT* Count) override;
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** Info) override;
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* Names, UINT Count, LCID, DISPID* Ids) override;
  STDMETHODIMP Invoke(DISPID Member, REFIID, LCID, WORD Flags, DISPPARAMS* Params, VARIANT* Result,
                      EXCEPINFO* Exception, UINT* ArgumentError) override;

  // Of IDispatchEx only GetDispID and InvokeEx do anything.
  STDMETHODIMP GetDispID(BSTR Name, DWORD Flags, DISPID* Id) override;
  STDMETHODIMP InvokeEx(DISPID Member, LCID Locale, WORD Flags, DISPPARAMS* Params, VARIANT* Result,
                        EXCEPINFO* Exception, IServiceProvider*) override;
  STDMETHODIMP DeleteMemberByName(BSTR, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP DeleteMemberByDispID(DISPID) override { return E_NOTIMPL; }
  STDMETHODIMP GetMemberProperties(DISPID, DWORD, DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP GetMemberName(DISPID, BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP GetNextDispID(DWORD, DISPID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP GetNameSpaceParent(IUnknown**) override { return E_NOTIMPL; }

  long Refs = 0;
  THostVariables Variables;              // what GetInfo reads and Execute's batches set
  std::u16string Name = u"OurSkinName";  // SkinName's answer
  std::vector<std::string> Faults;       // commands of a batch that it could not carry out
  // Each command of a batch that is not the host's own, in order: a front-end runs it
  // after the call, a test at once (as RideRunner hands it to its extensions).
  std::function<void(const std::u16string& Command)> Route;

 protected:
  // What one call does, as RideRunner's objects answer it.
  virtual HRESULT Carry(const TCall& Call, VARIANT* Result, EXCEPINFO* Exception);
};

}  // namespace zelm::tools
