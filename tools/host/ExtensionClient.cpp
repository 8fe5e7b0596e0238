#include "tools/host/ExtensionClient.h"

#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "tools/common/Utf.h"

namespace zelm::tools {
namespace {

std::string HResultText(HRESULT Result) {
  char Buffer[16];
  std::snprintf(Buffer, sizeof Buffer, "0x%08lX", static_cast<unsigned long>(Result));
  return Buffer;
}

std::string Narrow(const wchar_t* Text) {
  return ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(Text), std::wcslen(Text)));
}

// Arguments borrowed for one call: nothing here owns what they point at.
VARIANT Borrowed(VARTYPE Type) {
  VARIANT V;
  VariantInit(&V);
  V_VT(&V) = Type;
  return V;
}
VARIANT Object(IDispatch* Value) {
  VARIANT V = Borrowed(VT_DISPATCH);
  V_DISPATCH(&V) = Value;
  return V;
}
VARIANT Text(BSTR Value) {
  VARIANT V = Borrowed(VT_BSTR);
  V_BSTR(&V) = Value;
  return V;
}
VARIANT TextRef(BSTR* Value) {
  VARIANT V = Borrowed(VT_BSTR | VT_BYREF);
  V_BSTRREF(&V) = Value;
  return V;
}
VARIANT ObjectRef(IDispatch** Value) {
  VARIANT V = Borrowed(VT_DISPATCH | VT_BYREF);
  V_DISPATCHREF(&V) = Value;
  return V;
}

}  // namespace

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
  std::reverse(Args.begin(), Args.end());
  DISPPARAMS Params{Args.data(), nullptr, static_cast<UINT>(Args.size()), 0};
  TExcepInfo Exception;
  UINT ArgError = 0;
  TVariant Ignored;
  const HRESULT Done = FObject->Invoke(Id, IID_NULL, 0, DISPATCH_METHOD, &Params, Result ? Result : &Ignored.Get(),
                                       &Exception, &ArgError);
  if (SUCCEEDED(Done)) return true;
  Error = Narrow(Name) + " failed: ";
  if (Done == DISP_E_EXCEPTION) {
    if (Exception.pfnDeferredFillIn) Exception.pfnDeferredFillIn(&Exception);
    Error += HResultText(Exception.scode ? Exception.scode : static_cast<HRESULT>(Exception.wCode));
    if (Exception.bstrDescription) Error += " " + Narrow(Exception.bstrDescription);
  } else {
    Error += HResultText(Done);
  }
  return false;
}

bool TExtension::Init(IDispatch* Api, std::string& Error) { return Call(L"Init", {Object(Api)}, nullptr, Error); }

bool TExtension::Initialize(std::u16string_view Path, std::string& Error) {
  const TBstr PathText(Path);
  return Call(L"Initialize", {Text(PathText.Get())}, nullptr, Error);
}

bool TExtension::OnLoadSkin(IDispatch* Skin, std::string& Error) {
  return Call(L"OnLoadSkin", {Object(Skin)}, nullptr, Error);
}

bool TExtension::OnUnloadSkin(IDispatch* Skin, std::string& Error) {
  return Call(L"OnUnloadSkin", {Object(Skin)}, nullptr, Error);
}

bool TExtension::ReturnLabel(std::u16string_view Code, std::u16string& Label, std::string& Error) {
  TBstr CodeText(Code);
  TBstr ToolTip(L"");
  TVariant Result;
  const bool Ok = Call(L"ReturnLabel", {TextRef(CodeText.Ref()), TextRef(ToolTip.Ref())}, &Result.Get(), Error);
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
  const bool Ok = Call(L"ProcessCommand", {TextRef(CommandText.Ref()), ObjectRef(&SkinRef)}, &Result.Get(), Error);
  ExitCode = 0;
  if (Ok && SUCCEEDED(VariantChangeType(&Result.Get(), &Result.Get(), 0, VT_I4))) ExitCode = V_I4(&Result.Get());
  return Ok;
}

}  // namespace zelm::tools
