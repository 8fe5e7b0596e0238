#include "tests/support/wine/DataServer.h"

#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <sstream>

#include "core/protocol/Protocol.h"
#include "tests/support/wine/Com.h"
#include "tests/support/wine/StandIn.h"

namespace zelm::wine {

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

const char* SetUpOwnDesktop() {
  StartFromKnownPrefix();
  if (EnterPrivateDesktop().empty()) return "cannot make a desktop of our own";
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return "no apartment";
  if (FAILED(RegisterServer())) return "cannot register the ZelmKvel.dll beside the program";
  return nullptr;
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

void PumpWaiting() {
  MSG Msg;
  while (PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&Msg);
    DispatchMessageW(&Msg);
  }
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

  std::wstring CommandLine = Quoted(ProgramFolder() + standin::cExeName) +
                             (Quiet ? std::wstring(L" --quiet") : L" --log " + Quoted(FLogPath)) + L" --lifetime " +
                             std::to_wstring(LifetimeMs);
  for (const auto& Rule : Rules) CommandLine += L" " + Quoted(FromAnsi(Rule));

  // It says when its window is there; a stand-in that ends first says so too.
  THandle Ready;
  if (!FChild.Start(CommandLine, [&Ready](DWORD Id) {
        Ready.Reset(CreateEventW(nullptr, TRUE, FALSE, standin::ReadyEventName(Id).c_str()));
      }))
    return false;
  FWindow = FChild.ServerWindow(Ready.Get());
  if (FWindow == nullptr) std::fprintf(stderr, "stand-in: its window did not appear\n");
  return FWindow != nullptr;
}

bool TChildProcess::Start(std::wstring CommandLine, const std::function<void(DWORD Id)>& BeforeRun) {
  std::wstring Desktop = CurrentDesktopName();
  STARTUPINFOW Startup{};
  Startup.cb = sizeof Startup;
  Startup.lpDesktop = Desktop.empty() ? nullptr : Desktop.data();
  PROCESS_INFORMATION Started{};
  if (!CreateProcessW(nullptr, CommandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                      &Startup, &Started)) {
    std::fprintf(stderr, "CreateProcess failed (%lu): %ls\n", GetLastError(), CommandLine.c_str());
    return false;
  }
  Process.Reset(Started.hProcess);
  const THandle Thread(Started.hThread);
  Id = Started.dwProcessId;
  Job.Reset(CreateJobObjectW(nullptr, nullptr));
  if (Job) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION Limits{};
    Limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(Job.Get(), JobObjectExtendedLimitInformation, &Limits, sizeof Limits);
    AssignProcessToJobObject(Job.Get(), Process.Get());
  }
  if (BeforeRun) BeforeRun(Id);
  ResumeThread(Thread.Get());
  return true;
}

HWND TChildProcess::ServerWindow(HANDLE Ready) const {
  const auto Find = [this]() -> HWND {
    for (HWND Found = nullptr; (Found = FindWindowExW(nullptr, Found, nullptr, tools::cServerWindowTitleW));) {
      DWORD Owner = 0;
      GetWindowThreadProcessId(Found, &Owner);
      if (Owner == Id) return Found;
    }
    return nullptr;
  };
  if (Ready != nullptr) {
    const HANDLE Either[] = {Ready, Process.Get()};
    return WaitForMultipleObjects(2, Either, FALSE, 10000) == WAIT_OBJECT_0 ? Find() : nullptr;
  }
  // Without a word from it: looked for until it is there (a wait for an event, bounded).
  for (int Tries = 0; Tries < 200 && Running(); ++Tries) {
    if (const HWND Window = Find()) return Window;
    WaitForSingleObject(Process.Get(), 50);
  }
  return nullptr;
}

void TChildProcess::Stop(HWND Window) {
  if (Process) {
    if (Window) PostMessageW(Window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(Process.Get(), 5000) != WAIT_OBJECT_0) {
      TerminateProcess(Process.Get(), 1);
      WaitForSingleObject(Process.Get(), 5000);
    }
  }
  Process.Reset();
  Job.Reset();
  Id = 0;
}

const char* RunToEnd(std::wstring CommandLine, TRunToEnd& Run, const std::wstring& Folder) {
  wchar_t Temp[MAX_PATH];
  GetTempPathW(MAX_PATH, Temp);
  static unsigned Counter = 0;
  const std::wstring OutPath = std::wstring(Temp) + L"zelm-run-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                               std::to_wstring(++Counter) + L".txt";
  SECURITY_ATTRIBUTES Inherit{sizeof Inherit, nullptr, TRUE};
  TFileHandle Out(CreateFileW(OutPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &Inherit,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!Out) return "cannot make the output file";
  std::wstring Desktop = CurrentDesktopName();
  STARTUPINFOW Startup{};
  Startup.cb = sizeof Startup;
  Startup.lpDesktop = Desktop.empty() ? nullptr : Desktop.data();
  Startup.dwFlags = STARTF_USESTDHANDLES;
  Startup.hStdOutput = Startup.hStdError = Out.Get();
  PROCESS_INFORMATION Started{};
  const BOOL Ran = CreateProcessW(nullptr, CommandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  Folder.empty() ? nullptr : Folder.c_str(), &Startup, &Started);
  Out.Reset();
  const char* Failed = nullptr;
  if (!Ran) {
    Failed = "it did not start";
  } else {
    const THandle Process(Started.hProcess), Thread(Started.hThread);
    Run.Id = Started.dwProcessId;
    if (WaitForSingleObject(Process.Get(), 60000) != WAIT_OBJECT_0) {
      TerminateProcess(Process.Get(), 1);
      Failed = "it did not end within 60 s";
    }
    GetExitCodeProcess(Process.Get(), &Run.Exit);
  }
  Run.Output.clear();
  if (const TFile File(_wfopen(OutPath.c_str(), L"rb")); File) {
    char Buffer[4096];
    for (std::size_t Read; (Read = std::fread(Buffer, 1, sizeof Buffer, File.Get())) > 0;)
      Run.Output.append(Buffer, Read);
  }
  DeleteFileW(OutPath.c_str());
  return Failed;
}

void TStandIn::Stop() {
  FChild.Stop(FWindow);
  if (!FLogPath.empty()) DeleteFileW(FLogPath.c_str());
  FWindow = nullptr;
  FLogPath.clear();
}

void TStandIn::Release() const {
  const THandle Event(OpenEventW(EVENT_MODIFY_STATE, FALSE, TRuledServer::ReleaseEventName(FChild.Id).c_str()));
  if (Event) SetEvent(Event.Get());
}

bool TStandIn::Rule(const std::string& Rule) {
  COPYDATASTRUCT Data{cRuleMessageId, static_cast<DWORD>(Rule.size()), const_cast<char*>(Rule.data())};
  DWORD_PTR Result = 0;
  return SendMessageTimeoutW(FWindow, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&Data), SMTO_NORMAL, 5000, &Result) !=
             0 &&
         Result == 1;
}

std::vector<std::string> TStandIn::Lines() const {
  std::vector<std::string> Out;
  const TFileHandle File(CreateFileW(FLogPath.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!File) return Out;
  std::string All;
  char Buffer[4096];
  DWORD Read = 0;
  while (ReadFile(File.Get(), Buffer, sizeof Buffer, &Read, nullptr) && Read > 0) All.append(Buffer, Read);
  std::istringstream In(All);
  std::string Line;
  while (std::getline(In, Line)) Out.push_back(Line);
  return Out;
}

std::vector<TControl> TServerLog::Controls() const {
  std::vector<TControl> Out;
  for (const auto& Line : Lines()) {
    if (Line.rfind("recv ", 0) != 0) continue;
    Out.push_back({Field(Line, "id"), Field(Line, "cb"), Field(Line, "wp"), Field(Line, "d1"), Field(Line, "d2"),
                   Field(Line, "d3"), Field(Line, "d4"), Field(Line, "owner")});
  }
  return Out;
}

std::vector<TControl> TServerLog::ControlsSince(std::size_t Mark) const {
  auto All = Controls();
  if (Mark >= All.size()) return {};
  return std::vector<TControl>(All.begin() + static_cast<std::ptrdiff_t>(Mark), All.end());
}

std::size_t TServerLog::RecordsSent() const {
  std::size_t Count = 0;
  for (const auto& Line : Lines())
    if (Line.rfind("sent ", 0) == 0 && Field(Line, "ok") == 1) ++Count;
  return Count;
}

long TStandIn::CountHeard() const {
  DWORD_PTR Count = 0;
  SendMessageTimeoutW(FWindow, cCountHeardMessage, 0, 0, SMTO_NORMAL, 5000, &Count);
  return static_cast<long>(Count);
}

long TStandIn::CountSent() const {
  DWORD_PTR Count = 0;
  SendMessageTimeoutW(FWindow, cCountSentMessage, 0, 0, SMTO_NORMAL, 5000, &Count);
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

// --- The data server on our own thread ----------------------------------------------------

TLocalServer::TLocalServer(const std::vector<std::string>& Rules, bool Quiet) {
  if (!Quiet) FServer.SetLog([this](const std::string& Line) { FLines.push_back(Line); });
  for (const auto& Rule : Rules) FServer.Rule(Rule);
}

LRESULT SendRecord(HWND To, ULONG_PTR Id, const void* Data, DWORD Size) {
  COPYDATASTRUCT Copy = {Id, Size, const_cast<void*>(Data)};
  return SendMessageW(To, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&Copy));
}

}  // namespace zelm::wine
