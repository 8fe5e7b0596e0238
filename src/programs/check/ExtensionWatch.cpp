#include "programs/check/ExtensionWatch.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <deque>
#include <string>

#include "core/protocol/Protocol.h"
#include "programs/check/Registration.h"
#include "programs/check/Verdict.h"
#include "programs/common/DebugOutput.h"
#include "programs/common/ExtensionClient.h"
#include "programs/common/FrontEndObject.h"
#include "programs/common/MessagePump.h"
#include "programs/common/Utf.h"
#include "programs/common/WideText.h"
#include "win/com/Handles.h"
#include "win/window/MessageWindow.h"
#include "win/platform/Names.h"

namespace zelm::tools {
namespace {

// Prints the DLL's trace lines that came since the last call, and takes what they say
// into the facts.
void ShowTrace(TCheckFacts& Facts) {
  for (const std::string& Line : TakeDebugOutput()) {
    NoteTrace(Line, Facts);
    std::printf("  trace: %s\n", Line.c_str());
  }
}

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
    PumpWaiting();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, Milliseconds - (Now - Start), QS_ALLINPUT);
  }
}

// The file name of a running program ("" when it cannot be told).
std::string ProgramName(DWORD Process) {
  const TFileHandle Snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));  // none: INVALID_HANDLE_VALUE
  if (!Snapshot) return {};
  PROCESSENTRY32W Entry{};
  Entry.dwSize = sizeof Entry;
  for (BOOL More = Process32FirstW(Snapshot.Get(), &Entry); More; More = Process32NextW(Snapshot.Get(), &Entry))
    if (Entry.th32ProcessID == Process) {
      const std::wstring Path = Entry.szExeFile;  // a name, on some Windows a path
      return Narrow(Path.substr(Path.find_last_of(L"\\/") + 1));
    }
  return {};
}

// Another program's ZelmKvel on this desktop: the hidden window of its class, and
// whose it is.
void LookForOtherCopy(TCheckFacts& Facts) {
  for (HWND Window = FindWindowW(cMessageWindowClass, nullptr); Window != nullptr;
       Window = FindWindowExW(nullptr, Window, cMessageWindowClass, nullptr)) {
    DWORD Process = 0;
    GetWindowThreadProcessId(Window, &Process);
    if (Process == GetCurrentProcessId()) continue;
    Facts.InUse = true;
    Facts.InUseProcess = Process;
    Facts.InUseBy = ProgramName(Process);
    return;
  }
}

void WatchExtension(const TCheckOptions& Options, TCheckFacts& Facts) {
  // The host's objects outlive the extension, which may call them to its end; their
  // commands wait for the call that asked to return.
  TFrontEndObject Api, Skin;
  Skin.Name = u"zelm_check";
  std::deque<std::u16string> Commands;
  Api.Route = [&Commands](const std::u16string& Command) { Commands.push_back(Command); };
  TExtension Extension;
  std::string Error;
  if (!Extension.Create(Error)) {
    Facts.CreateError = Error;
    std::printf("  creating it: %s\n", Error.c_str());
    ShowTrace(Facts);
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
  ShowTrace(Facts);

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
    ShowTrace(Facts);
    if (Round % 10 == 0) std::printf("  %2ds: %s\n", Round / 10, Line.c_str());
  }
  Facts.SecondsWatched = Options.Seconds;
  // Found by its window too: the trace says it only when the extension first looks.
  if (FindWindowW(nullptr, ServerWindowTitle()) != nullptr) Facts.DataServerFound = true;
  Extension.OnUnloadSkin(&Skin, Error);
}

}  // namespace

int RunCheck(const TCheckOptions& Options) {
  CatchDebugOutput();
  TCheckFacts Facts;
  LookAtRegistration(Facts);
  if (Facts.Registered && Facts.ServerFileThere && Facts.Wrong.empty()) LookForOtherCopy(Facts);
  if (Facts.Registered && Facts.ServerFileThere && Facts.Wrong.empty() && !Facts.InUse) {
    std::printf("The extension:\n");
    WatchExtension(Options, Facts);
  }
  ShowTrace(Facts);
  const TVerdict Verdict = Judge(Facts);
  std::printf("\n");
  for (const std::string& Line : VerdictLines(Verdict, Facts)) std::printf("%s\n", Line.c_str());
  return ExitCodeOf(Verdict);
}

}  // namespace zelm::tools
