// zelm_check: the owner's check, without the front-end. Creates the installed
// ZelmKvel.RRExtension as RideRunner does (by its ProgID, late-bound, with a host object
// of its own answering GetInfo and Execute), shows for a few seconds what it gets (the
// data server, a few live values and trip figures, the DLL's trace lines), and ends with
// a verdict and its exit code. --codes scans skin files; --verify checks the package's
// files against SHA256SUMS. tools/check/CheckReport.h has the command line.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cwchar>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <vector>

#include "ZelmKvelVersion.h"
#include "ZelmKvelCommit.h"
#include "core/protocol/Protocol.h"
#include "tools/check/CheckReport.h"
#include "tools/common/ProgramStart.h"
#include "tools/common/Sha256.h"
#include "tools/common/Utf.h"
#include "tools/host/ExtensionClient.h"
#include "tools/host/HostObjects.h"
#include "tools/common/Threads.h"
#include "win/com/Handles.h"
#include "win/window/MessageWindow.h"

namespace zelm::tools {
namespace {

std::string Narrow(const wchar_t* Text, std::size_t Length) {
  return ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(Text), Length));
}

// --- The DLL's trace --------------------------------------------------------------
// OutputDebugString raises an exception that a debugger takes; with none, the text goes
// to a debug-output viewer. A vectored handler of our own sees the exception first, in
// our own process, on Windows XP to 11 and under Wine alike, and takes the line: the
// plain (ANSI) form that every Windows raises, or the wide one Windows 10 and later
// raise first.
constexpr DWORD cPrintException = 0x40010006;      // DBG_PRINTEXCEPTION_C
constexpr DWORD cPrintExceptionWide = 0x4001000A;  // DBG_PRINTEXCEPTION_WIDE_C
// The handler runs on whichever thread writes a line (the system's own threads too):
// the lines are shared with the main thread under a lock.
std::deque<std::string> GTraceLines;
TLock GTraceLock;

LONG CALLBACK CatchTrace(EXCEPTION_POINTERS* Info) {
  const EXCEPTION_RECORD* R = Info->ExceptionRecord;
  const std::lock_guard<TLock> Held(GTraceLock);
  try {
    if (R->ExceptionCode == cPrintExceptionWide && R->NumberParameters >= 2 && R->ExceptionInformation[1]) {
      const auto* Text = reinterpret_cast<const wchar_t*>(R->ExceptionInformation[1]);
      GTraceLines.push_back(Narrow(Text, std::wcslen(Text)));
      return EXCEPTION_CONTINUE_EXECUTION;
    }
    if (R->ExceptionCode == cPrintException && R->NumberParameters >= 2 && R->ExceptionInformation[1]) {
      const auto* Text = reinterpret_cast<const char*>(R->ExceptionInformation[1]);
      // The system's code page: widened by the system, then written as UTF-8.
      const int Length = MultiByteToWideChar(CP_ACP, 0, Text, -1, nullptr, 0);
      std::wstring Wide(static_cast<std::size_t>(Length > 0 ? Length : 1), L'\0');
      MultiByteToWideChar(CP_ACP, 0, Text, -1, Wide.data(), Length);
      GTraceLines.push_back(Narrow(Wide.c_str(), std::wcslen(Wide.c_str())));
      return EXCEPTION_CONTINUE_EXECUTION;
    }
  } catch (...) {
    return EXCEPTION_CONTINUE_EXECUTION;  // out of memory: the line is lost, nothing else
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

// Prints the trace lines that came since the last call; true when one says the data
// server's window took a message.
bool ShowTrace() {
  const std::lock_guard<TLock> Held(GTraceLock);
  bool Found = false;
  for (; !GTraceLines.empty(); GTraceLines.pop_front()) {
    std::string Line = GTraceLines.front();
    while (!Line.empty() && (Line.back() == '\n' || Line.back() == '\r')) Line.pop_back();
    if (Line.find("server window found") != std::string::npos ||
        Line.find("server window changed") != std::string::npos)
      Found = true;
    std::printf("  trace: %s\n", Line.c_str());
  }
  return Found;
}

// --- The registration -------------------------------------------------------------
std::wstring ReadDefault(const std::wstring& Key) {
  wchar_t Value[1024] = {};
  DWORD Size = sizeof Value - sizeof(wchar_t);
  TRegistryKey Handle;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, Key.c_str(), 0, KEY_QUERY_VALUE, Handle.Out()) != ERROR_SUCCESS) return {};
  DWORD Type = 0;
  const LONG Result = RegQueryValueExW(Handle.Get(), nullptr, nullptr, &Type, reinterpret_cast<BYTE*>(Value), &Size);
  if (Result != ERROR_SUCCESS || (Type != REG_SZ && Type != REG_EXPAND_SZ)) return {};
  if (Type == REG_SZ) return Value;
  wchar_t Expanded[1024] = {};
  ExpandEnvironmentStringsW(Value, Expanded, 1023);
  return Expanded;
}

void LookAtRegistration(TCheckFacts& Facts) {
  const std::wstring Class = ReadDefault(L"ZelmKvel.RRExtension\\Clsid");
  std::printf("Registration (what RideRunner finds):\n");
  if (Class.empty()) {
    std::printf("  ZelmKvel.RRExtension: not registered\n");
    return;
  }
  Facts.Registered = true;
  const std::wstring Path = ReadDefault(L"CLSID\\" + Class + L"\\InprocServer32");
  Facts.ServerPath.assign(Path.begin(), Path.end());
  const DWORD Attributes = Path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(Path.c_str());
  Facts.ServerFileThere = Attributes != INVALID_FILE_ATTRIBUTES && !(Attributes & FILE_ATTRIBUTE_DIRECTORY);
  std::printf("  ZelmKvel.RRExtension: class %s\n  file: %s (%s)\n", Narrow(Class.c_str(), Class.size()).c_str(),
              Path.empty() ? "none registered" : Narrow(Path.c_str(), Path.size()).c_str(),
              Facts.ServerFileThere ? "there" : "MISSING");
}

// --- Watching the extension ----------------------------------------------------------
struct TLabel {
  const char16_t* Code;
  const char* Name;
};
constexpr TLabel cLabels[] = {
    {u"ce_speed", "speed"},           {u"ce_enginespeed", "engine speed"}, {u"ce_coolanttemp", "coolant"},
    {u"ce_voltage", "battery"},       {u"ce_fuellevel", "fuel level"},     {u"ce_distancewent", "trip distance"},
    {u"ce_avgspeed", "trip average"}, {u"ce_timewent", "trip time"},
};

void PumpFor(DWORD Milliseconds) {
  const DWORD Start = GetTickCount();
  for (DWORD Now = Start; Now - Start < Milliseconds; Now = GetTickCount()) {
    MSG Message;
    while (PeekMessageW(&Message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&Message);
      DispatchMessageW(&Message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, Milliseconds - (Now - Start), QS_ALLINPUT);
  }
}

// Another program's ZelmKvel on this desktop: the hidden window of its class.
bool LoadedElsewhere() {
  for (HWND Window = FindWindowW(cMessageWindowClass, nullptr); Window != nullptr;
       Window = FindWindowExW(nullptr, Window, cMessageWindowClass, nullptr)) {
    DWORD Process = 0;
    GetWindowThreadProcessId(Window, &Process);
    if (Process != GetCurrentProcessId()) return true;
  }
  return false;
}

void WatchExtension(const TCheckOptions& Options, TCheckFacts& Facts) {
  // The host's objects outlive the extension, which may call them to its end; their
  // commands wait for the call that asked to return.
  THostObject Api, Skin;
  Skin.Name = u"zelm_check";
  std::deque<std::u16string> Commands;
  Api.Route = [&Commands](const std::u16string& Command) { Commands.push_back(Command); };
  TExtension Extension;
  std::string Error;
  if (!Extension.Create(Error)) {
    Facts.CreateError = Error;
    std::printf("  creating it: %s\n", Error.c_str());
    ShowTrace();
    return;
  }
  Facts.Created = true;
  std::printf("  created through COM, as RideRunner creates it\n");
  // RideRunner hands every command back to its extensions after the call that asked.
  auto RunCommands = [&] {
    for (int Guard = 0; Guard < 100 && !Commands.empty(); ++Guard) {
      const std::u16string Command = Commands.front();
      Commands.pop_front();
      int Code = 0;
      std::string Failure;
      if (!Extension.ProcessCommand(Command, &Skin, Code, Failure)) std::printf("  %s\n", Failure.c_str());
    }
  };
  if (!Extension.Init(&Api, Error) || !Extension.Initialize(u"", Error) || !Extension.OnLoadSkin(&Skin, Error))
    std::printf("  %s\n", Error.c_str());
  RunCommands();
  Facts.DataServerFound = ShowTrace() || Facts.DataServerFound;

  std::printf("Watching for %g seconds (values arrive while we pump messages, as a front-end does):\n",
              Options.Seconds);
  const int Rounds = static_cast<int>(Options.Seconds * 10);
  for (int Round = 1; Round <= Rounds; ++Round) {
    std::string Line;
    int Values = 0;
    for (const TLabel& L : cLabels) {
      std::u16string Text;
      if (!Extension.ReturnLabel(L.Code, Text, Error)) Text = u"?";
      if (Text != u"-" && !Text.empty() && Text != u"?") ++Values;
      if (Round % 10 == 0) {
        std::u16string Unit;
        Extension.ReturnLabel(std::u16string(L.Code) + u"_unit", Unit, Error);
        Line += std::string(Line.empty() ? "" : ", ") + L.Name + " " + ToUtf8(Text) +
                (Unit.empty() || Unit == u"-" || Text == u"-" ? "" : " " + ToUtf8(Unit));
      }
    }
    Facts.ValuesSeen += Values;
    RunCommands();
    PumpFor(100);
    if (ShowTrace()) Facts.DataServerFound = true;
    if (Round % 10 == 0) std::printf("  %2ds: %s\n", Round / 10, Line.c_str());
  }
  // Found by its window too: the trace says it only when the extension first looks.
  if (FindWindowW(nullptr, reinterpret_cast<LPCWSTR>(cServerWindowTitle.data())) != nullptr)
    Facts.DataServerFound = true;
  Extension.OnUnloadSkin(&Skin, Error);
}

int RunCheck(const TCheckOptions& Options) {
  TCheckFacts Facts;
  LookAtRegistration(Facts);
  Facts.InUse = Facts.Registered && Facts.ServerFileThere && LoadedElsewhere();
  if (Facts.Registered && Facts.ServerFileThere && !Facts.InUse) {
    std::printf("The extension:\n");
    WatchExtension(Options, Facts);
  }
  ShowTrace();
  const TVerdict Verdict = Judge(Facts);
  std::printf("\n");
  for (const std::string& Line : VerdictLines(Verdict, Facts)) std::printf("%s\n", Line.c_str());
  return ExitCodeOf(Verdict);
}

// --- --codes and --verify ----------------------------------------------------------
int RunCodes(const TCheckOptions& Options) {
  int Unknown = 0;
  bool Unreadable = false;
  for (const std::u16string& File : Options.Files) {
    std::string Bytes;
    const std::string Name = ToUtf8(File);
    if (!ReadWholeFile(File, Bytes)) {
      std::printf("%s: cannot be read\n", Name.c_str());
      Unreadable = true;
      continue;
    }
    for (const TCodeFinding& Finding : UnknownCodes(DecodeSkinText(Bytes))) {
      std::printf("%s\n", CodeLine(Name, Finding).c_str());
      ++Unknown;
    }
  }
  if (Unknown == 0 && !Unreadable)
    std::printf("Every ce_ code in %s is one ZelmKvel knows.\n",
                Options.Files.size() == 1 ? "the file" : "these files");
  else if (Unknown != 0)
    std::printf("%d unknown code%s: those labels stay empty and those commands do nothing.\n", Unknown,
                Unknown == 1 ? "" : "s");
  return Unreadable ? 2 : Unknown != 0 ? 1 : 0;
}

std::u16string OwnFolder() {
  wchar_t Path[MAX_PATH] = {};
  const DWORD Length = GetModuleFileNameW(nullptr, Path, MAX_PATH);
  std::u16string Folder(reinterpret_cast<const char16_t*>(Path), Length);
  return Folder.substr(0, Folder.find_last_of(u"\\/") + 1);
}

int RunVerify(const TCheckOptions& Options) {
  const std::u16string Sums = Options.Files.empty() ? OwnFolder() + u"SHA256SUMS" : Options.Files[0];
  const std::u16string Folder = Sums.substr(0, Sums.find_last_of(u"\\/") + 1);
  std::string Text;
  if (!ReadWholeFile(Sums, Text)) {
    std::printf("%s: cannot be read\n", ToUtf8(Sums).c_str());
    return 2;
  }
  int Bad = 0, Good = 0;
  for (std::size_t Start = 0; Start < Text.size();) {
    const std::size_t End = std::min(Text.find('\n', Start), Text.size());
    std::string Digest, Name, Bytes;
    if (ParseSumsLine(std::string_view(Text).substr(Start, End - Start), Digest, Name)) {
      TSha256 Hash;
      if (!ReadWholeFile(Folder + FromUtf8(Name), Bytes)) {
        std::printf("  %-20s MISSING\n", Name.c_str());
        ++Bad;
      } else {
        Hash.Add(Bytes);
        const bool Same = Hash.HexDigest() == Digest;
        std::printf("  %-20s %s\n", Name.c_str(), Same ? "OK" : "DIFFERS: damaged, unpack the zip again");
        (Same ? Good : Bad)++;
      }
    }
    Start = End + 1;
  }
  std::printf("%d file%s as published, %d not.\n", Good, Good == 1 ? "" : "s", Bad);
  return Bad == 0 && Good > 0 ? 0 : 1;
}

int Main() {
  TCheckOptions Options;
  std::string Fault;
  std::printf("zelm_check %s, for ZelmKvel %s%s%s\n", ZELM_VERSION_TEXT, ZELM_VERSION_TEXT,
#ifdef ZELM_COMMIT_TEXT
              " (", ZELM_COMMIT_TEXT ")"
#else
              "", ""
#endif
  );
  if (const int Stop = AnswerOptions(ParseCheckOptions(Arguments(), Options, Fault), "zelm_check", Fault, CheckUsage());
      Stop >= 0)
    return Stop;
  if (Options.Mode == TCheckMode::Codes) return RunCodes(Options);
  if (Options.Mode == TCheckMode::Verify) return RunVerify(Options);

  AddVectoredExceptionHandler(1, CatchTrace);
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    std::printf("COM could not be started on this thread.\n");
    return cCheckFailed;
  }
  const int Code = RunCheck(Options);
  CoUninitialize();
  return Code;
}

}  // namespace
}  // namespace zelm::tools

int main() {
  int Code = zelm::tools::cCheckFailed;
  try {
    Code = zelm::tools::Main();
  } catch (const std::exception& E) {
    std::fprintf(stderr, "zelm_check: %s\n", E.what());
  } catch (...) {
    std::fprintf(stderr, "zelm_check: the check failed\n");
  }
  std::fflush(stdout);
  // From the Start menu the window would close before it is read.
  for (const std::u16string& Arg : zelm::tools::Arguments())
    if (Arg == u"--wait") {
      std::printf("Press Enter to close this window.\n");
      std::getchar();
    }
  return Code;
}
