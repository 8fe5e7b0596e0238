#include "tests/support/wine/ScriptedHost.h"

#include "win/com/ComTypes.h"

namespace zelm::wine {
namespace {

HRESULT WINAPI FillLater(EXCEPINFO* Exception) {
  Exception->bstrDescription = SysAllocString(L"Filled in late...");
  Exception->scode = static_cast<SCODE>(0x80040155);
  return S_OK;
}

}  // namespace

STDMETHODIMP TScriptedHost::GetIDsOfNames(REFIID Iid, LPOLESTR* Names, UINT Count, LCID Locale, DISPID* Ids) {
  if (NamesOnlyThroughDispatchEx) return E_NOTIMPL;
  return TFrontEndObject::GetIDsOfNames(Iid, Names, Count, Locale, Ids);
}

STDMETHODIMP TScriptedHost::GetDispID(BSTR Member, DWORD Flags, DISPID* Id) {
  const std::wstring Wanted(Member ? Member : L"");
  for (const auto& M : Missing)
    if (M == Wanted) {
      *Id = DISPID_UNKNOWN;
      return DISP_E_UNKNOWNNAME;
    }
  return TFrontEndObject::GetDispID(Member, Flags, Id);
}

HRESULT TScriptedHost::Carry(const TCall& Call, VARIANT* Result, EXCEPINFO* Exception) {
  Calls.push_back(Call);
  auto Failure = FailWith.find(Call.Text());
  if (Failure == FailWith.end()) Failure = FailWith.find(Call.Name);
  if (Failure != FailWith.end()) {
    if (Failure->second == DISP_E_EXCEPTION && Exception) {
      *Exception = EXCEPINFO{};
      if (DeferredFillIn) {
        Exception->pfnDeferredFillIn = FillLater;
      } else {
        Exception->scode = ExceptionCode;
        Exception->bstrDescription = TBstr(ExceptionDescription).Detach();
        Exception->bstrSource = TBstr(L"TScriptedHost").Detach();
        Exception->dwHelpContext = ExceptionHelpContext;
      }
    }
    return Failure->second;
  }
  if (auto Special = Answer.find(Call.Name); Special != Answer.end()) {
    if (Result) {
      VariantInit(Result);
      Special->second(*Result);
    }
    return S_OK;
  }
  const HRESULT Done = TFrontEndObject::Carry(Call, Result, Exception);
  if (SUCCEEDED(Done) && Call.Name == L"Execute" && OnExecute) OnExecute(Call);
  return Done;
}

std::vector<TScriptedHost::TCall> TScriptedHost::CallsOf(const std::wstring& Wanted) const {
  std::vector<TCall> Out;
  for (const auto& C : Calls)
    if (C.Name == Wanted) Out.push_back(C);
  return Out;
}

}  // namespace zelm::wine
