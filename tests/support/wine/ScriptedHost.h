// The front-end's objects as the Wine tests and the bench script them: the shipped
// front-end object (programs/common/FrontEndObject.h) with every call logged, and the
// faults a test asks for: a member that fails, is missing, or answers a variant of the
// test's choice, and names only through IDispatchEx.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "programs/common/FrontEndObject.h"

namespace zelm::wine {

class TScriptedHost final : public tools::TFrontEndObject {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
 public:
  STDMETHODIMP GetIDsOfNames(REFIID Iid, LPOLESTR* Names, UINT Count, LCID Locale, DISPID* Ids) override;
  STDMETHODIMP GetDispID(BSTR Member, DWORD Flags, DISPID* Id) override;

  std::vector<TCall> CallsOf(const std::wstring& Name) const;

  std::vector<TCall> Calls;
  // Called after an Execute is carried out.
  std::function<void(const TCall&)> OnExecute;

  // E_NOTIMPL from GetIDsOfNames, as script engines' class objects answer.
  bool NamesOnlyThroughDispatchEx = false;
  // Members it lacks (by name).
  std::vector<std::wstring> Missing;
  // When set for a member, or for one call ("GetInfo(=$V$)"): the failure Invoke reports
  // (DISP_E_EXCEPTION fills the exception from the fields below).
  std::map<std::wstring, HRESULT> FailWith;
  HRESULT ExceptionCode = E_FAIL;
  std::wstring ExceptionDescription;
  DWORD ExceptionHelpContext = 0;
  bool DeferredFillIn = false;
  // When set for a member: the variant it answers instead of the usual.
  std::map<std::wstring, std::function<void(VARIANT&)>> Answer;

 protected:
  HRESULT Carry(const TCall& Call, VARIANT* Result, EXCEPINFO* Exception) override;
};

}  // namespace zelm::wine
