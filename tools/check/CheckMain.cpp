// zelm_check: the owner's check, without the front-end. Creates the installed
// ZelmKvel.RRExtension as RideRunner does (by its ProgID, late-bound, with a host object
// of its own answering GetInfo and Execute), shows for a few seconds what it gets (the
// data server, a few live values and trip figures, the DLL's trace lines), and ends with
// a verdict and its exit code. --codes scans skin files; --verify checks the package's
// files against SHA256SUMS. tools/check/CheckReport.h has the command line.
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ZelmKvelVersion.h"
#include "ZelmKvelCommit.h"
#include "ZelmKvel_TLB.h"
#include "core/protocol/Protocol.h"
#include "core/tables/LabelCodes.h"
#include "tools/check/CheckReport.h"
#include "tools/common/ProgramStart.h"
#include "tools/common/Sha256.h"
#include "tools/common/Utf.h"
#include "tools/host/ExtensionClient.h"
#include "tools/host/HostObjects.h"
#include "tools/common/Threads.h"
#include "win/com/Handles.h"
#include "win/platform/Names.h"
#include "win/window/MessageWindow.h"

namespace zelm::tools {
namespace {

std::string Narrow(const wchar_t* Text, std::size_t Length) {
  return ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(Text), Length));
}
std::string Narrow(const std::wstring& Text) { return Narrow(Text.c_str(), Text.size()); }
std::u16string Text16(const std::wstring& Text) {
  return {reinterpret_cast<const char16_t*>(Text.c_str()), Text.size()};
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
// A string value (Name null: the key's unnamed one), expanded; none when it is not there.
std::optional<std::wstring> ReadString(HKEY Root, const std::wstring& Key, const wchar_t* Name) {
  TRegistryKey Handle;
  if (RegOpenKeyExW(Root, Key.c_str(), 0, KEY_QUERY_VALUE, Handle.Out()) != ERROR_SUCCESS) return std::nullopt;
  wchar_t Value[1024] = {};
  DWORD Size = sizeof Value - sizeof(wchar_t);
  DWORD Type = 0;
  if (RegQueryValueExW(Handle.Get(), Name, nullptr, &Type, reinterpret_cast<BYTE*>(Value), &Size) != ERROR_SUCCESS ||
      (Type != REG_SZ && Type != REG_EXPAND_SZ))
    return std::nullopt;
  if (Type == REG_SZ) return std::wstring(Value);
  wchar_t Expanded[1024] = {};
  ExpandEnvironmentStringsW(Value, Expanded, 1023);
  return std::wstring(Expanded);
}

std::wstring FileNameOf(const std::wstring& Path) { return Path.substr(Path.find_last_of(L"\\/") + 1); }

void LookAtRegistration(TCheckFacts& Facts) {
  // What a front-end needs of the class: the entries registration writes for it, and
  // those of its type library and interface.
  const std::wstring Class = L"CLSID\\" + GuidText(CLSID_RRExtension), Library = GuidText(LIBID_ZelmKvel);
  const std::wstring Interface = L"Interface\\" + GuidText(IID_IRRExtension);
  const std::wstring LibraryFileKey = L"TypeLib\\" + Library + L"\\1.0\\0\\win32";
  struct TEntry {
    std::wstring Key;
    const wchar_t* Name;
    std::wstring Want;  // empty: any text
  };
  const TEntry Entries[] = {
      {L"ZelmKvel.RRExtension\\Clsid", nullptr, GuidText(CLSID_RRExtension)},
      {Class + L"\\InprocServer32", nullptr, L""},
      {Class + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
      {Class + L"\\ProgID", nullptr, L"ZelmKvel.RRExtension"},
      {Class + L"\\Version", nullptr, L"1.0"},
      {Class + L"\\TypeLib", nullptr, Library},
      {LibraryFileKey, nullptr, L""},
      {Interface + L"\\ProxyStubClsid32", nullptr, L"{00020424-0000-0000-C000-000000000046}"},
      {Interface + L"\\TypeLib", nullptr, Library},
  };
  for (const TEntry& E : Entries) {
    const std::optional<std::wstring> Value = ReadString(HKEY_CLASSES_ROOT, E.Key, E.Name);
    const std::string Name = "HKCR\\" + Narrow(E.Key) + (E.Name ? " (" + Narrow(E.Name) + ")" : "");
    Facts.Registered = Facts.Registered || Value.has_value();
    if (!Value || Value->empty())
      Facts.Wrong.push_back(Name + ": missing");
    else if (!E.Want.empty() && _wcsicmp(Value->c_str(), E.Want.c_str()) != 0)
      Facts.Wrong.push_back(Name + ": " + Narrow(*Value) + ", not " + Narrow(E.Want));
  }
  // The installer marks what it installed; the zip's scripts leave no mark.
  const std::wstring InstalledBy = ReadString(HKEY_LOCAL_MACHINE, L"Software\\ZelmKvel", L"InstalledBy").value_or(L"");
  Facts.InstalledBy = Text16(InstalledBy);
  Facts.Registered = Facts.Registered || !InstalledBy.empty();

  // The file: as InprocServer32 names it (an 8.3 form for a path with a blank), shown in
  // long form; once it is gone, the type library's entry still has that (and without
  // InprocServer32 it is the only name of it).
  const std::wstring Server = ReadString(HKEY_CLASSES_ROOT, Class + L"\\InprocServer32", nullptr).value_or(L"");
  const std::wstring LibraryFile = ReadString(HKEY_CLASSES_ROOT, LibraryFileKey, nullptr).value_or(L"");
  const std::wstring Path = Server.empty() ? LibraryFile : Server;
  const DWORD Attributes = Path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(Path.c_str());
  Facts.ServerFileThere = Attributes != INVALID_FILE_ATTRIBUTES && !(Attributes & FILE_ATTRIBUTE_DIRECTORY);
  std::wstring Long = Facts.ServerFileThere ? PathInForm(Path, GetLongPathNameW) : Path;
  if (!Facts.ServerFileThere && !LibraryFile.empty() &&
      _wcsicmp(FileNameOf(LibraryFile).c_str(), FileNameOf(Path).c_str()) == 0)
    Long = LibraryFile;
  Facts.ServerPath = Text16(Path);
  if (_wcsicmp(Long.c_str(), Path.c_str()) != 0) Facts.LongPath = Text16(Long);

  std::printf("Registration (what RideRunner finds):\n");
  for (const std::string& Line : RegistrationLines(Facts)) std::printf("%s\n", Line.c_str());
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
  Facts.InUse = Facts.Registered && Facts.ServerFileThere && Facts.Wrong.empty() && LoadedElsewhere();
  if (Facts.Registered && Facts.ServerFileThere && Facts.Wrong.empty() && !Facts.InUse) {
    std::printf("The extension:\n");
    WatchExtension(Options, Facts);
  }
  ShowTrace();
  const TVerdict Verdict = Judge(Facts);
  std::printf("\n");
  for (const std::string& Line : VerdictLines(Verdict, Facts)) std::printf("%s\n", Line.c_str());
  return ExitCodeOf(Verdict);
}

// --- --codes -------------------------------------------------------------------------
std::string SystemMessage(DWORD Error) {
  wchar_t Text[512];
  DWORD Length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, Error, 0, Text,
                                static_cast<DWORD>(std::size(Text)), nullptr);
  while (Length > 0 && std::wcschr(L"\r\n. ", Text[Length - 1]) != nullptr) --Length;
  return Length > 0 ? Narrow(Text, Length) : "system error " + std::to_string(Error);
}

// The system's ANSI code page, as RideRunner reads a skin in it.
bool FromAnsiCodePage(std::string_view Bytes, std::u16string& Text) {
  Text.assign(Bytes.size(), u'\0');  // a byte gives one UTF-16 unit at the most
  if (Bytes.empty()) return true;
  const int Length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, Bytes.data(), static_cast<int>(Bytes.size()),
                                         reinterpret_cast<LPWSTR>(Text.data()), static_cast<int>(Text.size()));
  Text.resize(Length > 0 ? static_cast<std::size_t>(Length) : 0);
  return Length > 0;
}

TFileCheck CheckFile(const std::u16string& Path) {
  const auto Failed = [](DWORD Error) {
    if (Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND) return Unread(TFileVerdict::NotFound);
    return Unread(TFileVerdict::Unreadable, SystemMessage(Error));
  };
  const TFileHandle File(CreateFileW(Wide(Path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!File) return Failed(GetLastError());
  std::string Bytes;
  char Buffer[16384];
  for (DWORD Got = 0;; Bytes.append(Buffer, Got)) {
    if (!ReadFile(File.Get(), Buffer, sizeof Buffer, &Got, nullptr)) return Failed(GetLastError());
    if (Got == 0) break;
  }
  return CheckSkinBytes(Bytes, FromAnsiCodePage, GetACP());
}

struct TFound {
  std::u16string Name;
  bool Folder = false;
};

// What Folder (empty, or ending in a separator) holds whose name matches Pattern, by
// name in any case.
std::vector<TFound> ListFolder(const std::u16string& Folder, std::u16string_view Pattern) {
  std::vector<TFound> Found;
  WIN32_FIND_DATAW Data;
  const TFindHandle Search(FindFirstFileW(Wide(Folder + u"*"), &Data));
  for (bool More = static_cast<bool>(Search); More; More = FindNextFileW(Search.Get(), &Data) != FALSE) {
    const std::u16string Name(reinterpret_cast<const char16_t*>(Data.cFileName));
    if (Name == u"." || Name == u".." || !MatchesWildcard(Pattern, Name)) continue;
    // A folder that leads elsewhere (a junction) could lead back here.
    if (Data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
    Found.push_back({Name, (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  }
  std::sort(Found.begin(), Found.end(), [](const TFound& A, const TFound& B) {
    return std::lexicographical_compare(A.Name.begin(), A.Name.end(), B.Name.begin(), B.Name.end(),
                                        [](char16_t X, char16_t Y) { return LowerAsciiChar(X) < LowerAsciiChar(Y); });
  });
  return Found;
}

// The skin files of Folder and of the folders in it.
void SkinFilesIn(const std::u16string& Folder, std::vector<std::u16string>& Files) {
  for (const TFound& F : ListFolder(Folder, u"*"))
    if (F.Folder)
      SkinFilesIn(Folder + F.Name + u"\\", Files);
    else if (IsSkinFileName(F.Name))
      Files.push_back(Folder + F.Name);
}

int RunCodes(const TCheckOptions& Options) {
  std::vector<TFileVerdict> Verdicts;
  const auto Report = [&Verdicts](const std::u16string& Name, const TFileCheck& Check) {
    for (const std::string& Line : FileCheckLines(ToUtf8(Name), Check)) std::printf("%s\n", Line.c_str());
    Verdicts.push_back(Check.Verdict);
  };
  const auto CheckFolder = [&Report](std::u16string Folder) {
    if (Folder.find_last_of(u"\\/:") != Folder.size() - 1) Folder += u"\\";
    std::vector<std::u16string> Files;
    SkinFilesIn(Folder, Files);
    if (Files.empty()) Report(Folder, Unread(TFileVerdict::NoSkinFiles));
    for (const std::u16string& File : Files) Report(File, CheckFile(File));
  };
  for (const std::u16string& Name : Options.Files) {
    // A Windows program expands its wildcards itself: the console hands them over.
    if (HasWildcards(Name)) {
      const std::u16string Folder = Name.substr(0, Name.find_last_of(u"\\/:") + 1);
      const std::vector<TFound> Matches = ListFolder(Folder, std::u16string_view(Name).substr(Folder.size()));
      if (Matches.empty()) Report(Name, Unread(TFileVerdict::NotFound, "no file matches"));
      for (const TFound& M : Matches)
        M.Folder ? CheckFolder(Folder + M.Name) : Report(Folder + M.Name, CheckFile(Folder + M.Name));
      continue;
    }
    const DWORD Attributes = GetFileAttributesW(Wide(Name));
    if (Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY))
      CheckFolder(Name);
    else
      Report(Name, CheckFile(Name));
  }
  for (const std::string& Line : CodesClosing(Verdicts)) std::printf("%s\n", Line.c_str());
  return CodesExitCode(Verdicts);
}

// --- --verify --------------------------------------------------------------------------
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
        std::printf("  %-20s %s\n", Name.c_str(),
                    Same ? "OK" : "DIFFERS: damaged; copy it from a fresh copy of the zip");
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
