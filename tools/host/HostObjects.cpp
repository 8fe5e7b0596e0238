#include "tools/host/HostObjects.h"

#include <cwchar>

#include "win/com/ComTypes.h"

namespace zelm::tools {

HRESULT STDMETHODCALLTYPE TDispatchObject::QueryInterface(REFIID Iid, void** Out) {
  if (Out == nullptr) return E_POINTER;
  if (IsEqualIID(Iid, IID_IUnknown) || IsEqualIID(Iid, IID_IDispatch)) {
    *Out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *Out = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TDispatchObject::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&FRefs)); }

ULONG STDMETHODCALLTYPE TDispatchObject::Release() {
  const LONG Left = InterlockedDecrement(&FRefs);
  if (Left == 0) delete this;
  return static_cast<ULONG>(Left);
}

HRESULT STDMETHODCALLTYPE TDispatchObject::GetTypeInfoCount(UINT* Count) {
  if (Count == nullptr) return E_POINTER;
  *Count = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TDispatchObject::GetTypeInfo(UINT, LCID, ITypeInfo** Info) {
  if (Info) *Info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT STDMETHODCALLTYPE TDispatchObject::GetIDsOfNames(REFIID, LPOLESTR* Names, UINT Count, LCID, DISPID* Ids) {
  if (Names == nullptr || Ids == nullptr || Count == 0) return E_INVALIDARG;
  HRESULT Result = S_OK;
  for (UINT I = 0; I < Count; ++I) Ids[I] = DISPID_UNKNOWN;
  Ids[0] = IdOf(Names[0]);
  if (Ids[0] == DISPID_UNKNOWN) Result = DISP_E_UNKNOWNNAME;
  if (Count > 1) Result = DISP_E_UNKNOWNNAME;  // no named arguments
  return Result;
}

HRESULT STDMETHODCALLTYPE TDispatchObject::Invoke(DISPID Id, REFIID, LCID, WORD Flags, DISPPARAMS* Params,
                                                  VARIANT* Result, EXCEPINFO* Exception, UINT* ArgError) {
  if (Params == nullptr) return E_INVALIDARG;
  if (!(Flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
  if (Params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  try {
    // Arguments arrive last first; we hand them on first first, as texts.
    std::vector<std::u16string> Args;
    for (UINT I = Params->cArgs; I-- > 0;) {
      TVariant Text;
      if (FAILED(VariantChangeType(&Text.Get(), &Params->rgvarg[I], 0, VT_BSTR))) {
        if (ArgError) *ArgError = I;
        return DISP_E_TYPEMISMATCH;
      }
      const BSTR Value = V_BSTR(&Text.Get());
      Args.emplace_back(Value ? std::u16string(Value, Value + SysStringLen(Value)) : std::u16string());
    }
    std::u16string Answer;
    const HRESULT Done = Call(Id, Args, Answer);
    if (FAILED(Done)) return Done;
    if (Result) {
      VariantInit(Result);
      V_VT(Result) = VT_BSTR;
      V_BSTR(Result) = TBstr(Answer).Detach();
    }
    return S_OK;
  } catch (...) {
    // Plain allocations, not TBstr: nothing may throw from here.
    if (Exception) {
      *Exception = EXCEPINFO{};
      Exception->scode = E_FAIL;
      Exception->bstrSource = SysAllocString(L"zelm_host");
      Exception->bstrDescription = SysAllocString(L"The stand-in host failed to answer");
    }
    return DISP_E_EXCEPTION;
  }
}

DISPID THostApi::IdOf(const wchar_t* Name) const {
  if (_wcsicmp(Name, L"GetInfo") == 0) return 1;
  if (_wcsicmp(Name, L"Execute") == 0) return 2;
  return DISPID_UNKNOWN;
}

HRESULT THostApi::Call(DISPID Id, const std::vector<std::u16string>& Args, std::u16string& Answer) {
  if (Id == 1) {  // GetInfo(info)
    if (Args.size() != 1) return DISP_E_BADPARAMCOUNT;
    Answer = FState.Variables.Query(Args[0]);
    return S_OK;
  }
  if (Id == 2) {  // Execute(batch [, wait])
    if (Args.empty() || Args.size() > 2) return DISP_E_BADPARAMCOUNT;
    for (auto& Command : FState.Variables.RunBatch(Args[0], FState.Faults)) FState.Commands.push_back(Command);
    return S_OK;
  }
  return DISP_E_MEMBERNOTFOUND;
}

DISPID TSkinObject::IdOf(const wchar_t* Name) const { return _wcsicmp(Name, L"SkinName") == 0 ? 1 : DISPID_UNKNOWN; }

HRESULT TSkinObject::Call(DISPID Id, const std::vector<std::u16string>& Args, std::u16string& Answer) {
  if (Id != 1) return DISP_E_MEMBERNOTFOUND;
  if (!Args.empty()) return DISP_E_BADPARAMCOUNT;
  Answer = FName;
  return S_OK;
}

}  // namespace zelm::tools
