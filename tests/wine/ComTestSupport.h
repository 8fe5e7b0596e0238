// What the Wine tests share: owning wrappers for BSTR, VARIANT and interface pointers,
// the DLL beside the test program loaded by hand, and a scripted host object (an
// IDispatch with variables, a call log and failures on request).
#pragma once

#include <windows.h>
#include <dispex.h>
#include <oaidl.h>
#include <ocidl.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ZelmKvel_TLB.h"

namespace zelm::wine {

// --- Owning wrappers --------------------------------------------------------------------

class TBstr {
 public:
  TBstr() = default;
  explicit TBstr(const wchar_t* Text) : FValue(Text ? SysAllocString(Text) : nullptr) {}
  explicit TBstr(const std::wstring& Text) : FValue(SysAllocStringLen(Text.data(), static_cast<UINT>(Text.size()))) {}
  ~TBstr() { SysFreeString(FValue); }
  TBstr(const TBstr&) = delete;
  TBstr& operator=(const TBstr&) = delete;
  TBstr(TBstr&& O) noexcept : FValue(std::exchange(O.FValue, nullptr)) {}

  BSTR Get() const { return FValue; }
  BSTR* Out() {
    SysFreeString(FValue);
    FValue = nullptr;
    return &FValue;
  }
  // The pointer itself, for in/out parameters that must come back untouched.
  BSTR* Ref() { return &FValue; }
  std::wstring Text() const { return FValue ? std::wstring(FValue, SysStringLen(FValue)) : std::wstring(); }
  bool IsNull() const { return FValue == nullptr; }

 private:
  BSTR FValue = nullptr;
};

class TVariant {
 public:
  TVariant() { VariantInit(&FValue); }
  ~TVariant() { VariantClear(&FValue); }
  TVariant(const TVariant&) = delete;
  TVariant& operator=(const TVariant&) = delete;
  VARIANT* operator&() { return &FValue; }
  VARIANT& Get() { return FValue; }
  void Clear() { VariantClear(&FValue); }

 private:
  VARIANT FValue;
};

template <class T>
class TComPtr {
 public:
  TComPtr() = default;
  explicit TComPtr(T* Adopted) : FValue(Adopted) {}
  ~TComPtr() { Reset(); }
  TComPtr(const TComPtr& O) : FValue(O.FValue) {
    if (FValue) FValue->AddRef();
  }
  TComPtr& operator=(const TComPtr&) = delete;
  TComPtr(TComPtr&& O) noexcept : FValue(std::exchange(O.FValue, nullptr)) {}

  T* Get() const { return FValue; }
  T* operator->() const { return FValue; }
  explicit operator bool() const { return FValue != nullptr; }
  T** Out() {
    Reset();
    return &FValue;
  }
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }
  void Reset() {
    if (FValue) FValue->Release();
    FValue = nullptr;
  }
  T* Detach() { return std::exchange(FValue, nullptr); }

 private:
  T* FValue = nullptr;
};

// --- The DLL ----------------------------------------------------------------------------

// Full path of a file beside the test program.
std::wstring BesideProgram(const wchar_t* Name);
inline std::wstring DllPath() { return BesideProgram(L"ZelmKvel.dll"); }

// The DLL loaded by LoadLibrary, its four exports called directly.
struct TLoadedServer {
  explicit TLoadedServer(const std::wstring& Path);
  ~TLoadedServer();
  TLoadedServer(const TLoadedServer&) = delete;
  TLoadedServer& operator=(const TLoadedServer&) = delete;

  HMODULE Module = nullptr;
  HRESULT(WINAPI* RegisterServer)() = nullptr;
  HRESULT(WINAPI* UnregisterServer)() = nullptr;
  HRESULT(WINAPI* CanUnloadNow)() = nullptr;
  HRESULT(WINAPI* GetClassObject)(REFCLSID, REFIID, void**) = nullptr;

  // A new RRExtension through DllGetClassObject and the class factory.
  TComPtr<IRRExtension> Create();
};

// --- Reading our error-info object --------------------------------------------------------

struct TErrorInfo {
  bool Present = false;
  GUID Guid = GUID_NULL;
  std::wstring Source;
  std::wstring Description;
  DWORD HelpContext = 0;
};
TErrorInfo TakeErrorInfo();

// --- Calling through IDispatch -------------------------------------------------------------

// The object by its ProgID, as a host creates it (a failure fails the running test).
TComPtr<IRRExtension> CreateByProgId();

// Shallow argument variants: the caller keeps what they point at alive.
VARIANT ByRef(BSTR* Text);
VARIANT ByRef(LONG* Number);
VARIANT ByValue(BSTR Text);
VARIANT ByValue(IDispatch* Object);
VARIANT ByValue(bool Flag);

// The member's DISPID (a failed lookup fails the running test).
DISPID IdOf(IDispatch* Dispatch, const wchar_t* Name);
// IDispatch::Invoke with positional arguments given first-first.
HRESULT CallDispatch(IDispatch* Dispatch, DISPID Id, std::vector<VARIANT> Args, VARIANT* Result,
                     EXCEPINFO* Exception = nullptr, WORD Flags = DISPATCH_METHOD);
// Frees the texts of an EXCEPINFO and clears it.
void Free(EXCEPINFO& Exception);

// --- Host object --------------------------------------------------------------------------

// A scripted RideRunner object: GetInfo reads a variable named by "=$V$", Execute logs,
// SkinName answers Name. A test can make a method fail or answer a given variant.
class TTestHost final : public IDispatchEx {
 public:
  enum TMember : DISPID { cGetInfo = 1, cExecute = 2, cSkinName = 3 };

  struct TCall {
    std::wstring Name;
    WORD Flags = 0;
    std::vector<VARTYPE> Types;     // as the caller passed them, first argument first
    std::vector<std::wstring> Args; // texts as they are, Booleans "true"/"false"
    bool AnswerAsked = false;       // a place for the answer was passed
  };

  TTestHost() = default;
  TTestHost(const TTestHost&) = delete;
  TTestHost& operator=(const TTestHost&) = delete;

  // IUnknown. The object lives on the test's stack; the count is only watched.
  STDMETHODIMP QueryInterface(REFIID Iid, void** Out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++Refs); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--Refs); }

  // IDispatch.
  STDMETHODIMP GetTypeInfoCount(UINT* Count) override;
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override;
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* Names, UINT Count, LCID, DISPID* Ids) override;
  STDMETHODIMP Invoke(DISPID Member, REFIID, LCID, WORD Flags, DISPPARAMS* Params, VARIANT* Result,
                      EXCEPINFO* Exception, UINT* ArgumentError) override;

  // IDispatchEx (only GetDispID and InvokeEx do anything).
  STDMETHODIMP GetDispID(BSTR Name, DWORD Flags, DISPID* Id) override;
  STDMETHODIMP InvokeEx(DISPID Member, LCID Locale, WORD Flags, DISPPARAMS* Params, VARIANT* Result,
                        EXCEPINFO* Exception, IServiceProvider*) override;
  STDMETHODIMP DeleteMemberByName(BSTR, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP DeleteMemberByDispID(DISPID) override { return E_NOTIMPL; }
  STDMETHODIMP GetMemberProperties(DISPID, DWORD, DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP GetMemberName(DISPID, BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP GetNextDispID(DWORD, DISPID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP GetNameSpaceParent(IUnknown**) override { return E_NOTIMPL; }

  std::vector<TCall> CallsOf(const std::wstring& Name) const;

  long Refs = 0;
  std::map<std::wstring, std::wstring> Variables;
  std::wstring Name = L"OurSkinName";
  std::vector<TCall> Calls;

  // Answers E_NOTIMPL from GetIDsOfNames, as script engines' class objects do.
  bool NamesOnlyThroughDispatchEx = false;
  // Members it lacks (by name).
  std::vector<std::wstring> Missing;
  // When set for a member: the failure Invoke reports (DISP_E_EXCEPTION fills the
  // exception from the fields below).
  std::map<std::wstring, HRESULT> FailWith;
  HRESULT ExceptionCode = E_FAIL;
  std::wstring ExceptionDescription;
  DWORD ExceptionHelpContext = 0;
  bool DeferredFillIn = false;
  // When set for a member: the variant it answers instead of the usual.
  std::map<std::wstring, std::function<void(VARIANT&)>> Answer;
  // Called after an Execute is logged (a host routes "CE_Open" back to the extension).
  std::function<void(const TCall&)> OnExecute;
};

}  // namespace zelm::wine
