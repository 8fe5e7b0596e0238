// A scripted RideRunner object for the Wine tests, the script scenario and the Wine bench:
// an IDispatchEx whose GetInfo reads a variable named by "=$V$", whose Execute is
// logged (and may hand its command back to the extension, as RideRunner does), and
// whose SkinName answers Name. A test can make a member fail, lack it, or answer a
// variant of its choice.
#pragma once

#include <windows.h>
#include <dispex.h>
#include <oaidl.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ZelmKvel_TLB.h"

namespace zelm::wine {

// On the test's stack, never deleted through an interface.
class TTestHost final : public IDispatchEx {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
 public:
  enum TMember : DISPID { cGetInfo = 1, cExecute = 2, cSkinName = 3 };

  struct TCall {
    std::wstring Name;
    WORD Flags = 0;
    std::vector<VARTYPE> Types;      // as the caller passed them, first argument first
    std::vector<std::wstring> Args;  // texts as they are, Booleans "true"/"false"
    bool AnswerAsked = false;        // a place for the answer was passed
    // "Name(arg,arg)", for a whole log in one comparison.
    std::wstring Text() const;
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
  // When set for a member, or for one call ("GetInfo(=$V$)"): the failure Invoke reports (DISP_E_EXCEPTION fills the
  // exception from the fields below).
  std::map<std::wstring, HRESULT> FailWith;
  HRESULT ExceptionCode = E_FAIL;
  std::wstring ExceptionDescription;
  DWORD ExceptionHelpContext = 0;
  bool DeferredFillIn = false;
  // When set for a member: the variant it answers instead of the usual.
  std::map<std::wstring, std::function<void(VARIANT&)>> Answer;
  // When set, every Execute's command goes on to this extension's ProcessCommand, as
  // RideRunner hands the commands it runs to its extensions (not counted: the
  // extension holds us).
  IRRExtension* RouteTo = nullptr;
  // Called after an Execute is logged (and routed).
  std::function<void(const TCall&)> OnExecute;
};

}  // namespace zelm::wine
