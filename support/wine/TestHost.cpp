#include "support/wine/TestHost.h"

#include "support/wine/Com.h"

namespace zelm::wine {

std::wstring TTestHost::TCall::Text() const {
  std::wstring Out = Name + L"(";
  for (std::size_t I = 0; I < Args.size(); ++I) Out += (I ? L"," : L"") + Args[I];
  return Out + L")";
}

STDMETHODIMP TTestHost::QueryInterface(REFIID Iid, void** Out) {
  if (!Out) return E_POINTER;
  if (IsEqualIID(Iid, IID_IUnknown) || IsEqualIID(Iid, IID_IDispatch) || IsEqualIID(Iid, __uuidof(IDispatchEx))) {
    *Out = static_cast<IDispatchEx*>(this);
    AddRef();
    return S_OK;
  }
  *Out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP TTestHost::GetTypeInfoCount(UINT* Count) {
  *Count = 0;
  return S_OK;
}

STDMETHODIMP TTestHost::GetTypeInfo(UINT, LCID, ITypeInfo**) { return DISP_E_BADINDEX; }

STDMETHODIMP TTestHost::GetIDsOfNames(REFIID, LPOLESTR* Names, UINT Count, LCID, DISPID* Ids) {
  if (NamesOnlyThroughDispatchEx) return E_NOTIMPL;
  if (Count != 1) return DISP_E_UNKNOWNNAME;
  TBstr Member(Names[0]);
  return GetDispID(Member.Get(), fdexNameCaseSensitive, Ids);
}

STDMETHODIMP TTestHost::GetDispID(BSTR Member, DWORD, DISPID* Id) {
  const std::wstring Wanted(Member ? Member : L"");
  *Id = DISPID_UNKNOWN;
  for (const auto& M : Missing)
    if (M == Wanted) return DISP_E_UNKNOWNNAME;
  if (Wanted == L"GetInfo") *Id = cGetInfo;
  if (Wanted == L"Execute") *Id = cExecute;
  if (Wanted == L"SkinName") *Id = cSkinName;
  return *Id == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
}

static HRESULT WINAPI FillLater(EXCEPINFO* Exception) {
  Exception->bstrDescription = TBstr(L"Filled in late...").Detach();
  Exception->scode = static_cast<SCODE>(0x80040155);
  return S_OK;
}

STDMETHODIMP TTestHost::Invoke(DISPID Member, REFIID, LCID Locale, WORD Flags, DISPPARAMS* Params, VARIANT* Result,
                               EXCEPINFO* Exception, UINT*) {
  return InvokeEx(Member, Locale, Flags, Params, Result, Exception, nullptr);
}

STDMETHODIMP TTestHost::InvokeEx(DISPID Member, LCID, WORD Flags, DISPPARAMS* Params, VARIANT* Result,
                                 EXCEPINFO* Exception, IServiceProvider*) {
  TCall Call;
  Call.Name = Member == cGetInfo    ? L"GetInfo"
              : Member == cExecute  ? L"Execute"
              : Member == cSkinName ? L"SkinName"
                                    : L"?";
  Call.Flags = Flags;
  Call.AnswerAsked = Result != nullptr;
  for (UINT I = Params->cArgs; I-- > 0;) {
    const VARIANT& Arg = Params->rgvarg[I];
    Call.Types.push_back(V_VT(&Arg));
    if (V_VT(&Arg) == VT_BSTR)
      Call.Args.push_back(V_BSTR(&Arg) ? std::wstring(V_BSTR(&Arg), SysStringLen(V_BSTR(&Arg))) : L"");
    else if (V_VT(&Arg) == VT_BOOL)
      Call.Args.push_back(V_BOOL(&Arg) ? L"true" : L"false");
    else
      Call.Args.push_back(L"?");
  }
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
        Exception->bstrSource = TBstr(L"TestHost").Detach();
        Exception->dwHelpContext = ExceptionHelpContext;
      }
    }
    return Failure->second;
  }
  if (Result) VariantInit(Result);
  if (auto Special = Answer.find(Call.Name); Special != Answer.end()) {
    if (Result) Special->second(*Result);
    return S_OK;
  }
  if (Call.Name == L"GetInfo" && Result) {
    const std::wstring& Query = Call.Args.at(0);  // "=$V$"
    const auto Found = Query.size() > 3 ? Variables.find(Query.substr(2, Query.size() - 3)) : Variables.end();
    V_VT(Result) = VT_BSTR;
    V_BSTR(Result) = TBstr(Found == Variables.end() ? std::wstring() : Found->second).Detach();
  } else if (Call.Name == L"SkinName" && Result) {
    V_VT(Result) = VT_BSTR;
    V_BSTR(Result) = TBstr(Name).Detach();
  } else if (Call.Name == L"Execute") {
    if (RouteTo && !Call.Args.empty()) Command(RouteTo, Call.Args[0]);
    if (OnExecute) OnExecute(Call);
  }
  return S_OK;
}

std::vector<TTestHost::TCall> TTestHost::CallsOf(const std::wstring& Wanted) const {
  std::vector<TCall> Out;
  for (const auto& C : Calls)
    if (C.Name == Wanted) Out.push_back(C);
  return Out;
}

}  // namespace zelm::wine
