#include "tests/support/wine/Com.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>

#include "core/extension/RRExtensionCore.h"
#include "programs/common/DebugOutput.h"
#include "programs/common/WideText.h"

namespace zelm::wine {

std::wstring ProgramFolder() {
  wchar_t Path[MAX_PATH] = {};
  const DWORD Length = GetModuleFileNameW(nullptr, Path, MAX_PATH);
  std::wstring Folder(Path, Length);
  return Folder.substr(0, Folder.find_last_of(L"\\/") + 1);
}

template <class T>
static void Resolve(HMODULE Module, const char* Name, T& Function) {
  Function = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(Module, Name)));
}

TLoadedServer::TLoadedServer(const std::wstring& Path) : Module(LoadLibraryW(Path.c_str())) {
  if (!Module) return;
  Resolve(Module, "DllRegisterServer", RegisterServer);
  Resolve(Module, "DllUnregisterServer", UnregisterServer);
  Resolve(Module, "DllCanUnloadNow", CanUnloadNow);
  Resolve(Module, "DllGetClassObject", GetClassObject);
}

TLoadedServer::~TLoadedServer() {
  if (Module) FreeLibrary(Module);
}

TComPtr<IRRExtension> TLoadedServer::Create() {
  TComPtr<IClassFactory> Factory;
  TComPtr<IRRExtension> Object;
  if (!GetClassObject) return Object;
  if (FAILED(GetClassObject(CLSID_RRExtension, IID_IClassFactory, Factory.OutVoid()))) return Object;
  Factory->CreateInstance(nullptr, IID_IRRExtension, Object.OutVoid());
  return Object;
}

HRESULT RegisterServer() {
  const TLoadedServer Dll(DllPath());
  if (!Dll.Module) return HRESULT_FROM_WIN32(GetLastError());
  return Dll.RegisterServer ? Dll.RegisterServer() : E_NOINTERFACE;
}

TComPtr<IRRExtension> CreateByProgId() {
  TComPtr<IRRExtension> Object;
  CLSID Class = GUID_NULL;
  if (FAILED(CLSIDFromProgID(L"ZelmKvel.RRExtension", &Class)) || !IsEqualCLSID(Class, CLSID_RRExtension))
    return Object;
  CoCreateInstance(Class, nullptr, CLSCTX_INPROC_SERVER, IID_IRRExtension, Object.OutVoid());
  return Object;
}

TErrorInfo TakeErrorInfo() {
  TErrorInfo Out;
  TComPtr<IErrorInfo> Info;
  if (GetErrorInfo(0, Info.Out()) != S_OK || !Info) return Out;
  Out.Present = true;
  Info->GetGUID(&Out.Guid);
  TBstr Source, Description;
  Info->GetSource(Source.Out());
  Info->GetDescription(Description.Out());
  Info->GetHelpContext(&Out.HelpContext);
  Out.Source = Source.Text();
  Out.Description = Description.Text();
  return Out;
}

// --- Calling through IDispatch -------------------------------------------------------------

namespace {
std::u16string Utf16(std::wstring_view Text) { return std::u16string(tools::View16(Text)); }
std::wstring WideOf(std::u16string_view Text) { return std::wstring(tools::ViewWide(Text)); }
}  // namespace

void RouteTo(TScriptedHost& Host, IRRExtension* Extension) {
  Host.Route = [Extension](const std::u16string& Text) { Command(Extension, WideOf(Text)); };
}

void SetVar(TScriptedHost& Host, std::wstring_view Name, std::wstring_view Value) {
  Host.Variables.Set(Utf16(Name), Utf16(Value));
}

std::wstring GetVar(const TScriptedHost& Host, std::wstring_view Name) {
  return WideOf(Host.Variables.Get(Utf16(Name)));
}

std::wstring Saved(const TScriptedHost& Host, std::wstring_view Name) {
  const auto Found = Host.Variables.Saved().find(Utf16(Name));
  return Found == Host.Variables.Saved().end() ? std::wstring() : WideOf(Found->second);
}

std::wstring NextInCycle(std::wstring_view Code) { return WideOf(TRRExtensionCore::NextCycleCode(Utf16(Code))); }

DISPID IdOf(IDispatch* Dispatch, const wchar_t* Name) {
  LPOLESTR Names[] = {const_cast<LPOLESTR>(Name)};
  DISPID Id = DISPID_UNKNOWN;
  EXPECT_EQ(Dispatch->GetIDsOfNames(IID_NULL, Names, 1, LOCALE_USER_DEFAULT, &Id), S_OK) << "name lookup";
  return Id;
}

// --- The calls a host makes most ----------------------------------------------------------

namespace {
std::wstring Failure(HRESULT Code) {
  wchar_t Text[32];
  std::swprintf(Text, 32, L"<hr=0x%08lX>", static_cast<unsigned long>(Code));
  return Text;
}
}  // namespace

std::wstring Label(IRRExtension* Object, std::wstring_view Code) {
  TBstr Text(Code), Tip(L""), Answer;
  const HRESULT Result = Object->ReturnLabel(Text.Ref(), Tip.Ref(), Answer.Out());
  return FAILED(Result) ? Failure(Result) : Answer.Text();
}

std::wstring LabelByDispatch(IRRExtension* Object, std::wstring_view Code) {
  TBstr Text(Code), Tip(L"");
  TVariant Answer;
  TExcepInfo Exception;
  const HRESULT Result = CallDispatch(Object, 202, {ByRef(Text.Ref()), ByRef(Tip.Ref())}, &Answer.Get(), &Exception);
  if (FAILED(Result)) return Failure(Result);
  if (V_VT(&Answer.Get()) != VT_BSTR) return L"<vt=" + std::to_wstring(V_VT(&Answer.Get())) + L">";
  const BSTR Value = V_BSTR(&Answer.Get());
  return Value ? std::wstring(Value, SysStringLen(Value)) : std::wstring();
}

short Command(IRRExtension* Object, std::wstring_view Text) {
  TBstr Cmd(Text);
  IDispatch* Skin = nullptr;
  short Exit = -1;
  return FAILED(Object->ProcessCommand(Cmd.Ref(), &Skin, &Exit)) ? short(-1) : Exit;
}

// --- The DLL's trace ----------------------------------------------------------------------

TTraceLines::TTraceLines() {
  tools::CatchDebugOutput();
  tools::TakeDebugOutput();
}

std::vector<std::string> TTraceLines::Take(std::string_view Starting) {
  static constexpr std::string_view cPrefix = "ZelmKvel: ";
  std::vector<std::string> Lines;
  for (const std::string& Line : tools::TakeDebugOutput())
    if (Line.rfind(cPrefix, 0) == 0 && Line.compare(cPrefix.size(), Starting.size(), Starting) == 0)
      Lines.push_back(Line.substr(cPrefix.size()));
  return Lines;
}

std::string TraceHex(uintptr_t Value) {
  char Text[16];
  std::snprintf(Text, sizeof Text, "0x%08lX", static_cast<unsigned long>(Value));
  return Text;
}

// --- The prefix ---------------------------------------------------------------------------

std::wstring DecimalSeparator() {
  wchar_t Text[8] = {};
  return GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, Text, 8) > 0 ? Text : L"";
}

TDecimalSeparator::TDecimalSeparator(const wchar_t* Separator) : FBefore(DecimalSeparator()) {
  FSet = !FBefore.empty() && SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, Separator);
}

TDecimalSeparator::~TDecimalSeparator() {
  if (FSet) SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, FBefore.c_str());
}

void StartFromKnownPrefix() { SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, L"."); }

}  // namespace zelm::wine
