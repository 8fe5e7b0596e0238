#include "programs/common/FrontEndObject.h"

#include "win/com/ComTypes.h"
#include "programs/common/WideText.h"

namespace zelm::tools {
namespace {

// An argument as a text: texts as they are, Booleans "true"/"false", numbers as the
// system writes them, anything else "?".
std::wstring ArgumentText(const VARIANT& Arg) {
  if (V_VT(&Arg) == VT_BSTR) return V_BSTR(&Arg) ? std::wstring(V_BSTR(&Arg), SysStringLen(V_BSTR(&Arg))) : L"";
  if (V_VT(&Arg) == VT_BOOL) return V_BOOL(&Arg) ? L"true" : L"false";
  TVariant Text;
  if (FAILED(VariantChangeType(&Text.Get(), const_cast<VARIANT*>(&Arg), 0, VT_BSTR))) return L"?";
  return TBstr(V_BSTR(&Text.Get())).Text();
}

}  // namespace

std::wstring TFrontEndObject::TCall::Text() const {
  std::wstring Out = Name + L"(";
  for (std::size_t I = 0; I < Args.size(); ++I) Out += (I ? L"," : L"") + Args[I];
  return Out + L")";
}

STDMETHODIMP TFrontEndObject::QueryInterface(REFIID Iid, void** Out) {
  if (!Out) return E_POINTER;
  if (IsEqualIID(Iid, IID_IUnknown) || IsEqualIID(Iid, IID_IDispatch) || IsEqualIID(Iid, __uuidof(IDispatchEx))) {
    *Out = static_cast<IDispatchEx*>(this);
    AddRef();
    return S_OK;
  }
  *Out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP TFrontEndObject::GetTypeInfoCount(UINT* Count) {
  if (Count == nullptr) return E_POINTER;
  *Count = 0;
  return S_OK;
}

STDMETHODIMP TFrontEndObject::GetTypeInfo(UINT, LCID, ITypeInfo** Info) {
  if (Info) *Info = nullptr;
  return DISP_E_BADINDEX;
}

STDMETHODIMP TFrontEndObject::GetIDsOfNames(REFIID, LPOLESTR* Names, UINT Count, LCID, DISPID* Ids) {
  if (Names == nullptr || Ids == nullptr) return E_INVALIDARG;
  if (Count != 1) return DISP_E_UNKNOWNNAME;  // no named arguments
  const TBstr Member(Names[0]);
  return GetDispID(Member.Get(), fdexNameCaseSensitive, Ids);
}

STDMETHODIMP TFrontEndObject::GetDispID(BSTR Member, DWORD, DISPID* Id) {
  const std::wstring Wanted(Member ? Member : L"");
  *Id = DISPID_UNKNOWN;
  if (Wanted == L"GetInfo") *Id = cGetInfo;
  if (Wanted == L"Execute") *Id = cExecute;
  if (Wanted == L"SkinName") *Id = cSkinName;
  return *Id == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
}

STDMETHODIMP TFrontEndObject::Invoke(DISPID Member, REFIID, LCID Locale, WORD Flags, DISPPARAMS* Params,
                                     VARIANT* Result, EXCEPINFO* Exception, UINT*) {
  return InvokeEx(Member, Locale, Flags, Params, Result, Exception, nullptr);
}

STDMETHODIMP TFrontEndObject::InvokeEx(DISPID Member, LCID, WORD Flags, DISPPARAMS* Params, VARIANT* Result,
                                       EXCEPINFO* Exception, IServiceProvider*) {
  if (Params == nullptr) return E_INVALIDARG;
  try {
    TCall Call;
    Call.Name = Member == cGetInfo    ? L"GetInfo"
                : Member == cExecute  ? L"Execute"
                : Member == cSkinName ? L"SkinName"
                                      : L"?";
    Call.Flags = Flags;
    Call.AnswerAsked = Result != nullptr;
    // Arguments arrive last first.
    for (UINT I = Params->cArgs; I-- > 0;) {
      Call.Types.push_back(V_VT(&Params->rgvarg[I]));
      Call.Args.push_back(ArgumentText(Params->rgvarg[I]));
    }
    return Carry(Call, Result, Exception);
  } catch (...) {
    // Plain allocations: nothing may throw from here.
    if (Exception) {
      *Exception = EXCEPINFO{};
      Exception->scode = E_FAIL;
      Exception->bstrDescription = SysAllocString(L"The host failed to answer");
    }
    return DISP_E_EXCEPTION;
  }
}

HRESULT TFrontEndObject::Carry(const TCall& Call, VARIANT* Result, EXCEPINFO*) {
  if (Result) VariantInit(Result);
  const bool OneArgument = Call.Args.size() == 1, Batch = !Call.Args.empty() && Call.Args.size() <= 2;
  if (Call.Name == L"GetInfo") {
    if (!OneArgument) return DISP_E_BADPARAMCOUNT;
    if (Result) {
      V_VT(Result) = VT_BSTR;
      V_BSTR(Result) = TBstr(Variables.Query(View16(Call.Args[0]))).Detach();
    }
  } else if (Call.Name == L"SkinName") {
    if (!Call.Args.empty()) return DISP_E_BADPARAMCOUNT;
    if (Result) {
      V_VT(Result) = VT_BSTR;
      V_BSTR(Result) = TBstr(Name).Detach();
    }
  } else if (Call.Name == L"Execute") {  // Execute(batch [, wait])
    if (!Batch) return DISP_E_BADPARAMCOUNT;
    for (const std::u16string& Command : Variables.RunBatch(View16(Call.Args[0]), Faults))
      if (Route) Route(Command);
  } else {
    return DISP_E_MEMBERNOTFOUND;
  }
  return S_OK;
}

}  // namespace zelm::tools
