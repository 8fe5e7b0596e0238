// zelm_sim: the workbench's data server. Owns the hidden window titled "Morvicantrel",
// takes the extension's control messages and sends it the simulated car's values.
//
//   zelm_sim [--rate N] [--seed N] [--time-scale X] [--status FILE] [--quit-on-eof]
//            [--run-seconds N] [--verbose] [--replay FILE [--loop]] [--stepped]
//
// tools/sim/SimOptions.h reads them. With --replay it serves a recorded drive instead
// of the simulated car.
//
// Lines on standard input: "subs" prints the parameters subscribed right now,
// "state" the car's state, "reset" resets the trip, "quit" stops.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <deque>
#include <iostream>
#include <memory>
#include <string>

#include "ZelmKvelVersion.h"
#include "core/tables/Catalogue.h"
#include "tools/common/InputLines.h"
#include "tools/common/ProgramStart.h"
#include "tools/common/ServerStep.h"
#include "tools/common/Threads.h"
#include "tools/common/Utf.h"
#include "tools/sim/DriveReplay.h"
#include "tools/sim/SimOptions.h"
#include "tools/sim/ServerWindow.h"

namespace zelm::tools {
namespace {

constexpr UINT cLineMessage = WM_APP + 3;  // lines from standard input wait to be taken
constexpr UINT_PTR cTickTimer = 1;

void Print(const std::string& Line) {
  std::fwrite(Line.data(), 1, Line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::string CodeOf(uint32_t Id) {
  const int Index = ParamIndexOfId(Id);
  return Index < 0 ? "?" : ToUtf8(cParams[static_cast<std::size_t>(Index)].ValueCode);
}

struct TApp {
  TSimOptions Options;
  TVehicleModel* Model = nullptr;
  TDriveReplay* Replay = nullptr;
  TServerWindow* Window = nullptr;
  std::shared_ptr<TInputLines<TLock>> Input;
  double Elapsed = 0;

  TSimServer& Server() const { return Window->Server(); }

  std::string HandleText() const {
    char Buffer[16];
    std::snprintf(Buffer, sizeof Buffer, "0x%08lx", static_cast<unsigned long>(Server().Window()));
    return Buffer;
  }

  // The status file always holds the current window and subscriptions: written
  // beside and moved over, so a reader never sees half of it.
  void WriteStatus() const {
    if (Options.StatusFile.empty()) return;
    const std::u16string Temporary = Options.StatusFile + u".new";
    {
      const TFile Out(_wfopen(Wide(Temporary), L"wb"));
      if (!Out) return;
      const std::string Text = "window " + HandleText() + "\nsubscribed " + Server().SubscribedText() + "\n";
      std::fwrite(Text.data(), 1, Text.size(), Out.Get());
    }
    MoveFileExW(Wide(Temporary), Wide(Options.StatusFile), MOVEFILE_REPLACE_EXISTING);
  }

  void PrintSubscriptions() const {
    const auto Ids = Server().Subscribed();
    std::string Line = "subscribed (" + std::to_string(Ids.size()) + "):";
    for (uint32_t Id : Ids) Line += " " + std::to_string(Id) + "=" + CodeOf(Id);
    Print(Line);
  }

  void PrintState() const {
    if (Replay) {
      char Line[96];
      std::snprintf(Line, sizeof Line, "replay at %.1f s of %.1f s", Replay->Time(), Replay->Length());
      Print(Line);
      return;
    }
    const TVehicleState& S = Model->State();
    char Buffer[256];
    std::snprintf(Buffer, sizeof Buffer,
                  "t=%.0fs speed=%.0fkm/h gear=%d rpm=%.0f throttle=%.0f%% coolant=%.1fC fan=%s battery=%.2fV "
                  "trip=%.3fkm %.3fl",
                  S.Time, S.Speed, S.Gear, S.Rpm, S.Throttle, S.Coolant,
                  S.Fan == TFanState::High  ? "HIGH"
                  : S.Fan == TFanState::Low ? "LOW"
                                            : "OFF",
                  S.Battery, Model->Trip().Distance, Model->Trip().Fuel);
    Print(Buffer);
  }

  void RunLine(std::string Line) {
    while (!Line.empty() && (Line.back() == '\r' || Line.back() == ' ')) Line.pop_back();
    if (Line == "subs" || Line == "s") {
      PrintSubscriptions();
    } else if (Line == "state") {
      PrintState();
    } else if (Line == "reset") {
      Server().OnControl(TripResetMessageId, TCopyData{});
      Print("trip reset");
    } else if (Line == "quit" || Line == "q") {
      PostMessageW(Window->Window(), WM_CLOSE, 0, 0);
    } else if (Line == "help" || Line == "?") {
      Print("commands: subs, state, reset, quit");
    } else if (!Line.empty()) {
      Print("unknown command '" + Line + "' (help lists them)");
    }
  }

  // A tick: Seconds of real time (a timer's period, or a host's step) go by.
  void Advance(double Seconds) {
    Server().Tick(Seconds * Options.TimeScale);
    Elapsed += Seconds;
    if (Options.RunSeconds > 0 && Elapsed >= Options.RunSeconds) PostMessageW(Window->Window(), WM_CLOSE, 0, 0);
    if (Replay && Replay->Ended()) {
      char Line[96];
      std::snprintf(Line, sizeof Line, "zelm_sim: the recording ended after %.1f s", Replay->Length());
      Print(Line);
      PostMessageW(Window->Window(), WM_CLOSE, 0, 0);
    }
  }

  // What the window takes besides the protocol: the ticks, a host's steps, the lines.
  bool OnMessage(UINT Message, WPARAM WParam) {
    switch (Message) {
      case WM_TIMER: Advance(1.0 / Options.Rate); return true;
      case cServerStepMessage:
        // Everything a frame asked for is answered before the host's next frame.
        if (Options.Stepped) Advance(static_cast<double>(WParam) / 1e6);
        return true;
      case cLineMessage: {
        // Only a wake-up: any program may post to our window, so it carries nothing.
        std::deque<std::u16string> Lines;
        const bool Ended = Input->Take(Lines);
        for (const std::u16string& Line : Lines) RunLine(ToUtf8(Line));
        if (Ended && Options.QuitOnEof) PostMessageW(Window->Window(), WM_CLOSE, 0, 0);
        return true;
      }
      case WM_DESTROY: PostQuitMessage(0); return true;
      default: return false;
    }
  }
};
TApp* App = nullptr;

BOOL WINAPI OnConsoleControl(DWORD) {
  if (App && App->Window) PostMessageW(App->Window->Window(), WM_CLOSE, 0, 0);
  return TRUE;
}

int Run() {
  TApp State;
  TSimOptions& O = State.Options;
  std::string Fault;
  const std::string Usage = SimUsage() + "zelm_sim " ZELM_VERSION_TEXT ", the ZelmKvel demo data server\n";
  if (const int Stop = AnswerOptions(ParseSimOptions(Arguments(), O, Fault), "zelm_sim", Fault, Usage); Stop >= 0)
    return Stop;
  App = &State;
  std::unique_ptr<TDriveReplay> Replay;
  if (!O.ReplayFile.empty()) {
    std::string Text;
    TDrive Drive;
    const std::string Name = ToUtf8(O.ReplayFile);
    if (!ReadWholeFile(O.ReplayFile, Text)) {
      std::fprintf(stderr, "zelm_sim: %s cannot be read\n", Name.c_str());
      return 2;
    }
    if (!ParseDrive(Text, Name, Drive, Fault)) {
      std::fprintf(stderr, "zelm_sim: %s\n", Fault.c_str());
      return 2;
    }
    Replay = std::make_unique<TDriveReplay>(std::move(Drive), O.Loop);
    for (const auto& Code : Replay->Unknown())
      Print("zelm_sim: the recording's column '" + ToUtf8(Code) + "' is no parameter's value code; it is not served");
    State.Replay = Replay.get();
  }
  SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdout), _O_BINARY);

  if (FindWindowW(nullptr, cServerWindowTitleW)) {
    std::fprintf(stderr, "zelm_sim: a data server window \"Morvicantrel\" exists already\n");
    return 3;
  }
  TVehicleModel Model(O.Seed);
  State.Model = &Model;
  TServerWindow Window(Replay ? static_cast<TDriveSource&>(*Replay) : Model);
  if (!Window.Window()) {
    std::fprintf(stderr, "zelm_sim: cannot create the window (error %lu)\n", GetLastError());
    return 4;
  }
  State.Window = &Window;
  Window.OnMessage = [&State](UINT Message, WPARAM WParam, LPARAM, LRESULT&) {
    return State.OnMessage(Message, WParam);
  };
  Window.OnStateChanged = [&State] {
    State.WriteStatus();
    if (State.Options.Verbose)
      Print("window " + State.HandleText() + ", subscribed: " + State.Server().SubscribedText());
  };
  if (O.Verbose) Window.Log = Print;
  State.WriteStatus();
  if (!O.Stepped) SetTimer(Window.Window(), cTickTimer, static_cast<UINT>(1000 / O.Rate), nullptr);
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);

  const HWND Handle = Window.Window();
  State.Input = StartReadingLines<TLock>(
      std::cin, [Handle] { PostMessageW(Handle, cLineMessage, 0, 0); }, RunDetached);

  char Ready[160];
  if (Replay)
    std::snprintf(Ready, sizeof Ready,
                  "zelm_sim: data server \"Morvicantrel\" ready, %g records/s, replaying %.1f s%s, time x%g", O.Rate,
                  Replay->Length(), O.Loop ? " again and again" : "", O.TimeScale);
  else
    std::snprintf(Ready, sizeof Ready,
                  "zelm_sim: data server \"Morvicantrel\" ready, %g records/s, seed %llu, time x%g", O.Rate,
                  static_cast<unsigned long long>(O.Seed), O.TimeScale);
  if (O.Stepped) std::snprintf(Ready + std::strlen(Ready), sizeof Ready - std::strlen(Ready), ", stepped by the host");
  Print(Ready);

  MSG Message;
  while (GetMessageW(&Message, nullptr, 0, 0) > 0) {
    TranslateMessage(&Message);
    DispatchMessageW(&Message);
  }
  const TSimCounters& C = State.Server().Counters();
  char Summary[200];
  std::snprintf(
      Summary, sizeof Summary,
      "zelm_sim: stopped; received %llu announcements, %llu adds, %llu deletes, %llu trip reads, %llu resets; "
      "sent %llu records",
      static_cast<unsigned long long>(C.Announcements), static_cast<unsigned long long>(C.Adds),
      static_cast<unsigned long long>(C.Deletes), static_cast<unsigned long long>(C.TripReads),
      static_cast<unsigned long long>(C.TripResets), static_cast<unsigned long long>(C.RecordsSent));
  Print(Summary);
  if (!O.StatusFile.empty()) DeleteFileW(Wide(O.StatusFile));
  State.Window = nullptr;
  App = nullptr;
  return 0;
}

}  // namespace
}  // namespace zelm::tools

int main() {
  try {
    return zelm::tools::Run();
  } catch (const std::exception& E) {
    std::fprintf(stderr, "zelm_sim: %s\n", E.what());
    return 1;
  }
}
