#include "ComTestSupport.h"

#include <gtest/gtest.h>

namespace zelm::wine {

std::wstring BesideProgram(const wchar_t* Name) {
  wchar_t Path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, Path, MAX_PATH);
  std::wstring Folder(Path);
  Folder.resize(Folder.find_last_of(L'\\') + 1);
  return Folder + Name;
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

// --- TTestHost --------------------------------------------------------------------------

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
  Exception->bstrDescription = SysAllocString(L"Filled in late...");
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
  Call.Name = Member == cGetInfo ? L"GetInfo" : Member == cExecute ? L"Execute" : Member == cSkinName ? L"SkinName" : L"?";
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

  if (auto Failure = FailWith.find(Call.Name); Failure != FailWith.end()) {
    if (Failure->second == DISP_E_EXCEPTION && Exception) {
      *Exception = EXCEPINFO{};
      if (DeferredFillIn) {
        Exception->pfnDeferredFillIn = FillLater;
      } else {
        Exception->scode = ExceptionCode;
        Exception->bstrDescription = SysAllocString(ExceptionDescription.c_str());
        Exception->bstrSource = SysAllocString(L"TestHost");
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
    V_BSTR(Result) = SysAllocString(Found == Variables.end() ? L"" : Found->second.c_str());
  } else if (Call.Name == L"SkinName" && Result) {
    V_VT(Result) = VT_BSTR;
    V_BSTR(Result) = SysAllocString(Name.c_str());
  } else if (Call.Name == L"Execute" && OnExecute) {
    OnExecute(Call);
  }
  return S_OK;
}

std::vector<TTestHost::TCall> TTestHost::CallsOf(const std::wstring& Wanted) const {
  std::vector<TCall> Out;
  for (const auto& C : Calls)
    if (C.Name == Wanted) Out.push_back(C);
  return Out;
}

// --- Calling through IDispatch -------------------------------------------------------------

TComPtr<IRRExtension> CreateByProgId() {
  TComPtr<IRRExtension> Object;
  CLSID Class = GUID_NULL;
  EXPECT_EQ(CLSIDFromProgID(L"ZelmKvel.RRExtension", &Class), S_OK);
  EXPECT_TRUE(IsEqualCLSID(Class, CLSID_RRExtension));
  EXPECT_EQ(CoCreateInstance(Class, nullptr, CLSCTX_INPROC_SERVER, IID_IRRExtension, Object.OutVoid()), S_OK);
  return Object;
}

VARIANT ByRef(BSTR* Text) {
  VARIANT V;
  V_VT(&V) = VT_BSTR | VT_BYREF;
  V_BSTRREF(&V) = Text;
  return V;
}
VARIANT ByRef(LONG* Number) {
  VARIANT V;
  V_VT(&V) = VT_I4 | VT_BYREF;
  V_I4REF(&V) = Number;
  return V;
}
VARIANT ByValue(BSTR Text) {
  VARIANT V;
  V_VT(&V) = VT_BSTR;
  V_BSTR(&V) = Text;
  return V;
}
VARIANT ByValue(IDispatch* Object) {
  VARIANT V;
  V_VT(&V) = VT_DISPATCH;
  V_DISPATCH(&V) = Object;
  return V;
}
VARIANT ByValue(bool Flag) {
  VARIANT V;
  V_VT(&V) = VT_BOOL;
  V_BOOL(&V) = Flag ? VARIANT_TRUE : VARIANT_FALSE;
  return V;
}

DISPID IdOf(IDispatch* Dispatch, const wchar_t* Name) {
  LPOLESTR Names[] = {const_cast<LPOLESTR>(Name)};
  DISPID Id = DISPID_UNKNOWN;
  EXPECT_EQ(Dispatch->GetIDsOfNames(IID_NULL, Names, 1, LOCALE_USER_DEFAULT, &Id), S_OK) << "name lookup";
  return Id;
}

HRESULT CallDispatch(IDispatch* Dispatch, DISPID Id, std::vector<VARIANT> Args, VARIANT* Result,
                     EXCEPINFO* Exception, WORD Flags) {
  std::vector<VARIANT> Reversed(Args.rbegin(), Args.rend());
  DISPPARAMS Params = {Reversed.data(), nullptr, static_cast<UINT>(Reversed.size()), 0};
  UINT ArgumentError = 0;
  return Dispatch->Invoke(Id, IID_NULL, LOCALE_USER_DEFAULT, Flags, &Params, Result, Exception, &ArgumentError);
}

void Free(EXCEPINFO& Exception) {
  SysFreeString(Exception.bstrSource);
  SysFreeString(Exception.bstrDescription);
  SysFreeString(Exception.bstrHelpFile);
  Exception = EXCEPINFO{};
}

}  // namespace zelm::wine
