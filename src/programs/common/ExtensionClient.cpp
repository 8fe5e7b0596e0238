#include "programs/common/ExtensionClient.h"

#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "programs/common/Utf.h"
#include "programs/common/WideText.h"

namespace zelm::tools {
namespace {

std::string HResultText(HRESULT Result) {
  char Buffer[16];
  std::snprintf(Buffer, sizeof Buffer, "0x%08lX", static_cast<unsigned long>(Result));
  return Buffer;
}

// A variant of this type whose value the caller sets.
VARIANT Typed(VARTYPE Type) {
  VARIANT V;
  VariantInit(&V);
  V_VT(&V) = Type;
  return V;
}

}  // namespace

VARIANT ByRef(BSTR* Text) {
  VARIANT V = Typed(VT_BSTR | VT_BYREF);
  V_BSTRREF(&V) = Text;
  return V;
}
VARIANT ByRef(LONG* Number) {
  VARIANT V = Typed(VT_I4 | VT_BYREF);
  V_I4REF(&V) = Number;
  return V;
}
VARIANT ByRef(VARIANT* Variable) {
  VARIANT V = Typed(VT_VARIANT | VT_BYREF);
  V_VARIANTREF(&V) = Variable;
  return V;
}
VARIANT ByRef(IDispatch** Object) {
  VARIANT V = Typed(VT_DISPATCH | VT_BYREF);
  V_DISPATCHREF(&V) = Object;
  return V;
}
VARIANT ByValue(BSTR Text) {
  VARIANT V = Typed(VT_BSTR);
  V_BSTR(&V) = Text;
  return V;
}
VARIANT ByValue(IDispatch* Object) {
  VARIANT V = Typed(VT_DISPATCH);
  V_DISPATCH(&V) = Object;
  return V;
}
VARIANT ByValue(bool Flag) {
  VARIANT V = Typed(VT_BOOL);
  V_BOOL(&V) = Flag ? VARIANT_TRUE : VARIANT_FALSE;
  return V;
}

HRESULT CallDispatch(IDispatch* Dispatch, DISPID Id, std::vector<VARIANT> Args, VARIANT* Result, EXCEPINFO* Exception,
                     WORD Flags) {
  std::reverse(Args.begin(), Args.end());  // rgvarg holds them last first
  DISPPARAMS Params = {Args.data(), nullptr, static_cast<UINT>(Args.size()), 0};
  UINT ArgumentError = 0;
  return Dispatch->Invoke(Id, IID_NULL, LOCALE_USER_DEFAULT, Flags, &Params, Result, Exception, &ArgumentError);
}

std::wstring TInvokeAnswer::Text() const {
  const VARIANT& V = Value.Get();
  switch (V_VT(&V)) {
    case VT_BSTR: return V_BSTR(&V) ? std::wstring(V_BSTR(&V), SysStringLen(V_BSTR(&V))) : std::wstring();
    case VT_I2:
    case VT_I4: return std::to_wstring(Number());
    default: return {};
  }
}

long TInvokeAnswer::Number() const noexcept {
  const VARIANT& V = Value.Get();
  return V_VT(&V) == VT_I2 ? V_I2(&V) : V_VT(&V) == VT_I4 ? V_I4(&V) : 0;
}

std::string TInvokeAnswer::Failure() const {
  if (SUCCEEDED(Result)) return {};
  std::string Text = HResultText(Result == DISP_E_EXCEPTION ? Code : Result);
  if (!Description.empty()) Text += " " + Narrow(Description.c_str());
  return Text;
}

TInvokeAnswer ReadAnswer(HRESULT Result, VARIANT& Value, EXCEPINFO& Exception) {
  TInvokeAnswer Answer;
  Answer.Result = Result;
  Answer.Value.Get() = Value;
  VariantInit(&Value);
  if (Exception.pfnDeferredFillIn) {
    Exception.pfnDeferredFillIn(&Exception);
    Exception.pfnDeferredFillIn = nullptr;
  }
  Answer.Code = Exception.scode              ? Exception.scode
                : Exception.wCode            ? MAKE_HRESULT(SEVERITY_ERROR, FACILITY_DISPATCH, Exception.wCode)
                : Result == DISP_E_EXCEPTION ? E_FAIL
                                             : S_OK;
  if (Exception.bstrDescription) Answer.Description = Exception.bstrDescription;
  if (Exception.bstrSource) Answer.Source = Exception.bstrSource;
  Answer.HelpContext = Exception.dwHelpContext;
  return Answer;
}

TInvokeAnswer InvokeMember(IDispatch* Dispatch, DISPID Id, std::vector<VARIANT> Args, WORD Flags) {
  TVariant Value;
  TExcepInfo Exception;
  const HRESULT Result = CallDispatch(Dispatch, Id, std::move(Args), &Value.Get(), &Exception, Flags);
  return ReadAnswer(Result, Value.Get(), Exception);
}

bool TExtension::Create(std::string& Error) {
  CLSID Class;
  HRESULT Result = CLSIDFromProgID(L"ZelmKvel.RRExtension", &Class);
  if (FAILED(Result)) {
    Error = "ZelmKvel.RRExtension is not registered (" + HResultText(Result) + "); register ZelmKvel.dll with regsvr32";
    return false;
  }
  Result = CoCreateInstance(Class, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, FObject.OutVoid());
  if (FAILED(Result)) {
    Error = "cannot create ZelmKvel.RRExtension (" + HResultText(Result) + ")";
    return false;
  }
  return true;
}

bool TExtension::Call(const wchar_t* Name, std::vector<VARIANT> Args, VARIANT* Result, std::string& Error) {
  DISPID Id = 0;
  const auto Known = FIds.find(Name);
  if (Known != FIds.end()) {
    Id = Known->second;
  } else {
    LPOLESTR Names[] = {const_cast<LPOLESTR>(Name)};
    const HRESULT Found = FObject->GetIDsOfNames(IID_NULL, Names, 1, 0, &Id);
    if (FAILED(Found)) {
      Error = Narrow(Name) + ": no such method (" + HResultText(Found) + ")";
      return false;
    }
    FIds[Name] = Id;
  }
  TInvokeAnswer Answer = InvokeMember(FObject.Get(), Id, std::move(Args));
  if (SUCCEEDED(Answer.Result)) {
    if (Result) {
      *Result = Answer.Value.Get();
      VariantInit(&Answer.Value.Get());
    }
    return true;
  }
  Error = Narrow(Name) + " failed: " + Answer.Failure();
  return false;
}

bool TExtension::Init(IDispatch* Api, std::string& Error) { return Call(L"Init", {ByValue(Api)}, nullptr, Error); }

bool TExtension::Initialize(std::u16string_view Path, std::string& Error) {
  const TBstr PathText(Path);
  return Call(L"Initialize", {ByValue(PathText.Get())}, nullptr, Error);
}

bool TExtension::OnLoadSkin(IDispatch* Skin, std::string& Error) {
  return Call(L"OnLoadSkin", {ByValue(Skin)}, nullptr, Error);
}

bool TExtension::OnUnloadSkin(IDispatch* Skin, std::string& Error) {
  return Call(L"OnUnloadSkin", {ByValue(Skin)}, nullptr, Error);
}

bool TExtension::ReturnLabel(std::u16string_view Code, std::u16string& Label, std::string& Error) {
  TBstr CodeText(Code);
  TBstr ToolTip(L"");
  TVariant Result;
  const bool Ok = Call(L"ReturnLabel", {ByRef(CodeText.Ref()), ByRef(ToolTip.Ref())}, &Result.Get(), Error);
  Label.clear();
  if (Ok && SUCCEEDED(VariantChangeType(&Result.Get(), &Result.Get(), 0, VT_BSTR)) && V_BSTR(&Result.Get())) {
    const BSTR Answer = V_BSTR(&Result.Get());
    Label.assign(Answer, Answer + SysStringLen(Answer));
  }
  return Ok;
}

bool TExtension::ProcessCommand(std::u16string_view Command, IDispatch* Skin, int& ExitCode, std::string& Error) {
  TBstr CommandText(Command);
  IDispatch* SkinRef = Skin;  // borrowed, as the front-end lends it
  TVariant Result;
  const bool Ok = Call(L"ProcessCommand", {ByRef(CommandText.Ref()), ByRef(&SkinRef)}, &Result.Get(), Error);
  ExitCode = 0;
  if (Ok && SUCCEEDED(VariantChangeType(&Result.Get(), &Result.Get(), 0, VT_I4))) ExitCode = V_I4(&Result.Get());
  return Ok;
}

}  // namespace zelm::tools
