#include "Rig.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <sstream>

#include "StandIn.h"

namespace zelm::dstest {

std::wstring EnterPrivateDesktop() {
  wchar_t Name[64];
  std::swprintf(Name, 64, L"ZelmDataServer-%lu-%lu", GetCurrentProcessId(), GetTickCount());
  // The handle stays open for the life of the process: the desktop lives as long.
  HDESK Desktop = CreateDesktopW(Name, nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  if (Desktop == nullptr || !SetThreadDesktop(Desktop)) return {};
  return Name;
}

std::wstring CurrentDesktopName() {
  wchar_t Name[128] = L"";
  DWORD Needed = 0;
  if (!GetUserObjectInformationW(GetThreadDesktop(GetCurrentThreadId()), UOI_NAME, Name, sizeof Name, &Needed))
    return {};
  return Name;
}

double NowMs() {
  static const double Frequency = [] {
    LARGE_INTEGER F;
    QueryPerformanceFrequency(&F);
    return static_cast<double>(F.QuadPart);
  }();
  LARGE_INTEGER Now;
  QueryPerformanceCounter(&Now);
  return static_cast<double>(Now.QuadPart) * 1000.0 / Frequency;
}

void PumpFor(DWORD Ms) {
  const double End = NowMs() + Ms;
  for (;;) {
    MSG Msg;
    while (PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&Msg);
      DispatchMessageW(&Msg);
    }
    const double Left = End - NowMs();
    if (Left <= 0) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(Left) + 1, QS_ALLINPUT);
  }
}

std::wstring ProgramFolder() {
  wchar_t Path[MAX_PATH];
  const DWORD Length = GetModuleFileNameW(nullptr, Path, MAX_PATH);
  std::wstring Folder(Path, Length);
  return Folder.substr(0, Folder.find_last_of(L"\\/") + 1);
}

std::string Narrow(const std::wstring& Text) {
  std::string Out;
  for (wchar_t C : Text) Out.push_back(C < 128 ? static_cast<char>(C) : '?');
  return Out;
}

namespace {

// Rules are ANSI text, as the stand-in reads its command line.
std::wstring FromAnsi(const std::string& Text) {
  if (Text.empty()) return {};
  const int Length = MultiByteToWideChar(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
  std::wstring Out(static_cast<std::size_t>(Length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), Out.data(), Length);
  return Out;
}

std::wstring Quoted(const std::wstring& Arg) {
  std::wstring Out = L"\"";
  for (wchar_t C : Arg) {
    if (C == L'"') Out += L'\\';
    Out += C;
  }
  return Out + L"\"";
}

uint32_t Field(const std::string& Line, const char* Key) {
  const std::string Tag = std::string(" ") + Key + "=";
  const auto At = Line.find(Tag);
  if (At == std::string::npos) return 0;
  return static_cast<uint32_t>(std::strtoul(Line.c_str() + At + Tag.size(), nullptr, 10));
}

}  // namespace

bool TStandIn::Start(const std::vector<std::string>& Rules, DWORD LifetimeMs, bool Quiet) {
  Stop();
  static unsigned Counter = 0;
  wchar_t Temp[MAX_PATH];
  GetTempPathW(MAX_PATH, Temp);
  FLogPath = std::wstring(Temp) + L"zelm-standin-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(++Counter) + L".log";
  DeleteFileW(FLogPath.c_str());

  std::wstring CommandLine = Quoted(ProgramFolder() + FromAnsi(standin::cExeName)) +
                             (Quiet ? std::wstring(L" --quiet") : L" --log " + Quoted(FLogPath)) + L" --lifetime " +
                             std::to_wstring(LifetimeMs);
  for (const auto& Rule : Rules) CommandLine += L" " + Quoted(FromAnsi(Rule));

  // On our desktop, so that our extension finds it and nobody else does.
  std::wstring Desktop = CurrentDesktopName();
  STARTUPINFOW Startup{};
  Startup.cb = sizeof Startup;
  Startup.lpDesktop = Desktop.empty() ? nullptr : Desktop.data();
  if (!CreateProcessW(nullptr, CommandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                      &Startup, &FProcess)) {
    std::fprintf(stderr, "stand-in: CreateProcess failed (%lu)\n", GetLastError());
    FProcess = {};
    return false;
  }
  // Should we die, the job takes the stand-in with us (its lifetime bounds it anyway).
  FJob = CreateJobObjectW(nullptr, nullptr);
  if (FJob) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION Limits{};
    Limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(FJob, JobObjectExtendedLimitInformation, &Limits, sizeof Limits);
    AssignProcessToJobObject(FJob, FProcess.hProcess);
  }
  ResumeThread(FProcess.hThread);

  const double Deadline = NowMs() + 10000;
  while (NowMs() < Deadline) {
    HWND Found = FindWindowW(nullptr, standin::cWindowTitle);
    DWORD Owner = 0;
    if (Found) GetWindowThreadProcessId(Found, &Owner);
    if (Found && Owner == FProcess.dwProcessId) {
      FWindow = Found;
      return true;
    }
    if (WaitForSingleObject(FProcess.hProcess, 5) == WAIT_OBJECT_0) break;
  }
  std::fprintf(stderr, "stand-in: its window did not appear\n");
  return false;
}

void TStandIn::Stop() {
  if (FProcess.hProcess) {
    if (FWindow) PostMessageW(FWindow, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(FProcess.hProcess, 5000) != WAIT_OBJECT_0) {
      TerminateProcess(FProcess.hProcess, 1);
      WaitForSingleObject(FProcess.hProcess, 5000);
    }
    CloseHandle(FProcess.hThread);
    CloseHandle(FProcess.hProcess);
  }
  if (FJob) CloseHandle(FJob);
  if (!FLogPath.empty()) DeleteFileW(FLogPath.c_str());
  FProcess = {};
  FJob = nullptr;
  FWindow = nullptr;
  FLogPath.clear();
}

bool TStandIn::Rule(const std::string& Rule) {
  COPYDATASTRUCT Data{standin::cRuleMessageId, static_cast<DWORD>(Rule.size()), const_cast<char*>(Rule.data())};
  DWORD_PTR Result = 0;
  return SendMessageTimeoutW(FWindow, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&Data), SMTO_NORMAL, 5000, &Result) !=
             0 &&
         Result == 1;
}

std::vector<std::string> TStandIn::Lines() const {
  std::vector<std::string> Out;
  HANDLE File = CreateFileW(FLogPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (File == INVALID_HANDLE_VALUE) return Out;
  std::string All;
  char Buffer[4096];
  DWORD Read = 0;
  while (ReadFile(File, Buffer, sizeof Buffer, &Read, nullptr) && Read > 0) All.append(Buffer, Read);
  CloseHandle(File);
  std::istringstream In(All);
  std::string Line;
  while (std::getline(In, Line)) Out.push_back(Line);
  return Out;
}

std::vector<TControl> TStandIn::Controls() const {
  std::vector<TControl> Out;
  for (const auto& Line : Lines()) {
    if (Line.rfind("recv ", 0) != 0) continue;
    Out.push_back({Field(Line, "id"), Field(Line, "cb"), Field(Line, "wp"), Field(Line, "d1"), Field(Line, "d2"),
                   Field(Line, "d3"), Field(Line, "d4"), Field(Line, "owner")});
  }
  return Out;
}

std::vector<TControl> TStandIn::ControlsSince(std::size_t Mark) const {
  auto All = Controls();
  if (Mark >= All.size()) return {};
  return std::vector<TControl>(All.begin() + static_cast<std::ptrdiff_t>(Mark), All.end());
}

std::size_t TStandIn::RecordsSent() const {
  std::size_t Count = 0;
  for (const auto& Line : Lines())
    if (Line.rfind("sent ", 0) == 0 && Field(Line, "ok") == 1) ++Count;
  return Count;
}

long TStandIn::CountHeard() const {
  DWORD_PTR Count = 0;
  SendMessageTimeoutW(FWindow, standin::cCountHeardMessage, 0, 0, SMTO_NORMAL, 5000, &Count);
  return static_cast<long>(Count);
}

long TStandIn::CountSent() const {
  DWORD_PTR Count = 0;
  SendMessageTimeoutW(FWindow, standin::cCountSentMessage, 0, 0, SMTO_NORMAL, 5000, &Count);
  return static_cast<long>(Count);
}

std::string Msg(uint32_t Id, uint32_t Data1) { return std::to_string(Id) + "(" + std::to_string(Data1) + ")"; }

std::string Sequence(const std::vector<TControl>& Controls) {
  std::string Out;
  for (const auto& C : Controls) {
    if (!Out.empty()) Out += ' ';
    if (C.Cb == 16 && C.Wp == 0 && C.D2 == 0 && C.D3 == 0 && C.D4 == 0) {
      Out += Msg(C.Id, C.D1);
    } else {
      Out += std::to_string(C.Id) + "(" + std::to_string(C.D1) + "," + std::to_string(C.D2) + "," +
             std::to_string(C.D3) + "," + std::to_string(C.D4) + ";cb=" + std::to_string(C.Cb) +
             ";wp=" + std::to_string(C.Wp) + ")";
    }
  }
  return Out;
}

// --- The scripted host -----------------------------------------------------------------

namespace {

constexpr DISPID cGetInfo = 1, cExecute = 2, cSkinName = 3;

std::wstring ArgText(const VARIANT& Arg) {
  VARIANT Copy;
  VariantInit(&Copy);
  std::wstring Out = L"?";
  if (SUCCEEDED(VariantCopyInd(&Copy, const_cast<VARIANT*>(&Arg)))) {
    if (V_VT(&Copy) == VT_BOOL) {
      Out = V_BOOL(&Copy) ? L"true" : L"false";
    } else if (SUCCEEDED(VariantChangeType(&Copy, &Copy, 0, VT_BSTR))) {
      Out.assign(V_BSTR(&Copy) ? V_BSTR(&Copy) : L"", SysStringLen(V_BSTR(&Copy)));
    }
  }
  VariantClear(&Copy);
  return Out;
}

}  // namespace

THost* THost::Create() { return new THost(); }

STDMETHODIMP THost::QueryInterface(REFIID Iid, void** Out) {
  if (Out == nullptr) return E_POINTER;
  if (IsEqualIID(Iid, IID_IUnknown) || IsEqualIID(Iid, IID_IDispatch)) {
    *Out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *Out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) THost::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&FRefs)); }

STDMETHODIMP_(ULONG) THost::Release() {
  const LONG Left = InterlockedDecrement(&FRefs);
  if (Left == 0) delete this;
  return static_cast<ULONG>(Left);
}

STDMETHODIMP THost::GetTypeInfoCount(UINT* Count) {
  if (Count) *Count = 0;
  return S_OK;
}

STDMETHODIMP THost::GetTypeInfo(UINT, LCID, ITypeInfo** Info) {
  if (Info) *Info = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP THost::GetIDsOfNames(REFIID, LPOLESTR* Names, UINT Count, LCID, DISPID* Ids) {
  HRESULT Result = S_OK;
  for (UINT I = 0; I < Count; ++I) {
    Ids[I] = DISPID_UNKNOWN;
    if (I > 0) {
      Result = DISP_E_UNKNOWNNAME;
    } else if (_wcsicmp(Names[0], L"GetInfo") == 0) {
      Ids[0] = cGetInfo;
    } else if (_wcsicmp(Names[0], L"Execute") == 0) {
      Ids[0] = cExecute;
    } else if (_wcsicmp(Names[0], L"SkinName") == 0) {
      Ids[0] = cSkinName;
    } else {
      Result = DISP_E_UNKNOWNNAME;
    }
  }
  return Result;
}

STDMETHODIMP THost::Invoke(DISPID Member, REFIID, LCID, WORD, DISPPARAMS* Params, VARIANT* Result, EXCEPINFO*, UINT*) {
  std::vector<std::wstring> Args;
  for (UINT I = Params ? Params->cArgs : 0; I-- > 0;) Args.push_back(ArgText(Params->rgvarg[I]));
  std::wstring Call = Member == cGetInfo ? L"GetInfo(" : Member == cExecute ? L"Execute(" : L"SkinName(";
  for (std::size_t I = 0; I < Args.size(); ++I) Call += (I ? L"," : L"") + Args[I];
  Calls.push_back(Call + L")");

  std::wstring Answer;
  switch (Member) {
    case cGetInfo: {
      if (Args.size() != 1) return DISP_E_BADPARAMCOUNT;
      const std::wstring& Query = Args[0];  // "=$Name$"
      if (Query.size() >= 3 && Query.compare(0, 2, L"=$") == 0 && Query.back() == L'$') {
        const auto It = Variables.find(Query.substr(2, Query.size() - 3));
        if (It != Variables.end()) Answer = It->second;
      }
      break;
    }
    case cExecute:
      if (RouteTo && !Args.empty()) {
        TBstr Command(Args[0]);
        IDispatch* Skin = nullptr;
        short Exit = 0;
        RouteTo->ProcessCommand(&Command.B, &Skin, &Exit);
      }
      break;
    case cSkinName:
      Answer = L"TestSkin";
      break;
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
  if (Result) {
    VariantInit(Result);
    V_VT(Result) = VT_BSTR;
    V_BSTR(Result) = SysAllocStringLen(Answer.data(), static_cast<UINT>(Answer.size()));
  }
  return S_OK;
}

// --- The extension ---------------------------------------------------------------------

HRESULT RegisterServer() {
  HMODULE Dll = LoadLibraryW((ProgramFolder() + L"ZelmKvel.dll").c_str());
  if (Dll == nullptr) return HRESULT_FROM_WIN32(GetLastError());
  using TRegister = HRESULT(WINAPI*)();
  const auto Register = reinterpret_cast<TRegister>(reinterpret_cast<void*>(GetProcAddress(Dll, "DllRegisterServer")));
  const HRESULT Result = Register ? Register() : E_NOINTERFACE;
  FreeLibrary(Dll);
  return Result;
}

HRESULT CreateExtension(IRRExtension** Out) {
  *Out = nullptr;
  CLSID Class;
  const HRESULT Found = CLSIDFromProgID(L"ZelmKvel.RRExtension", &Class);
  if (FAILED(Found)) return Found;
  return CoCreateInstance(Class, nullptr, CLSCTX_INPROC_SERVER, IID_IRRExtension, reinterpret_cast<void**>(Out));
}

namespace {
std::wstring Failure(HRESULT Code) {
  wchar_t Text[32];
  std::swprintf(Text, 32, L"<hr=0x%08lX>", static_cast<unsigned long>(Code));
  return Text;
}
}  // namespace

std::wstring Label(IRRExtension* Ext, const wchar_t* Code) {
  TBstr LabelCode(Code), ToolTip(L"");
  BSTR Answer = nullptr;
  const HRESULT Result = Ext->ReturnLabel(&LabelCode.B, &ToolTip.B, &Answer);
  std::wstring Out = FAILED(Result) ? Failure(Result) : std::wstring(Answer ? Answer : L"", SysStringLen(Answer));
  SysFreeString(Answer);
  return Out;
}

std::wstring LabelByDispatch(IRRExtension* Ext, const wchar_t* Code) {
  TBstr LabelCode(Code), ToolTip(L"");
  VARIANT Args[2];  // last parameter first
  V_VT(&Args[0]) = VT_BSTR | VT_BYREF;
  V_BSTRREF(&Args[0]) = &ToolTip.B;
  V_VT(&Args[1]) = VT_BSTR | VT_BYREF;
  V_BSTRREF(&Args[1]) = &LabelCode.B;
  DISPPARAMS Params{Args, nullptr, 2, 0};
  VARIANT Answer;
  VariantInit(&Answer);
  EXCEPINFO Exception{};
  UINT ArgError = 0;
  const HRESULT Result =
      Ext->Invoke(202, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &Params, &Answer, &Exception, &ArgError);
  std::wstring Out;
  if (FAILED(Result)) {
    Out = Failure(Result);
  } else if (V_VT(&Answer) != VT_BSTR) {
    Out = L"<vt=" + std::to_wstring(V_VT(&Answer)) + L">";
  } else {
    Out.assign(V_BSTR(&Answer) ? V_BSTR(&Answer) : L"", SysStringLen(V_BSTR(&Answer)));
  }
  VariantClear(&Answer);
  SysFreeString(Exception.bstrSource);
  SysFreeString(Exception.bstrDescription);
  SysFreeString(Exception.bstrHelpFile);
  return Out;
}

short Command(IRRExtension* Ext, const wchar_t* Cmd) {
  TBstr Text(Cmd);
  IDispatch* Skin = nullptr;
  short Exit = -1;
  return FAILED(Ext->ProcessCommand(&Text.B, &Skin, &Exit)) ? short(-1) : Exit;
}

}  // namespace zelm::dstest
