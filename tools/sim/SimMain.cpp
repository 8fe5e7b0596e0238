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
#include <iostream>
#include <memory>
#include <string>

#include "ZelmKvelVersion.h"
#include "core/tables/Catalogue.h"
#include "tools/common/ProgramStart.h"
#include "tools/common/ServerStep.h"
#include "tools/common/Threads.h"
#include "tools/common/Utf.h"
#include "tools/sim/DriveReplay.h"
#include "tools/sim/SimOptions.h"
#include "tools/sim/SimServer.h"

namespace zelm::tools {
namespace {

constexpr UINT cTripMessage = WM_APP + 1;  // send the trip figures asked for
constexpr UINT cLineMessage = WM_APP + 2;  // a line from standard input (lParam: std::string*)
constexpr UINT_PTR cTickTimer = 1;
constexpr wchar_t cClassName[] = L"ZelmWorkbenchDataServer";

void Print(const std::string& Line) {
  std::fwrite(Line.data(), 1, Line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::string CodeOf(uint32_t Id) {
  const int Index = ParamIndexOfId(Id);
  return Index < 0 ? "?" : ToUtf8(cParams[static_cast<std::size_t>(Index)].ValueCode);
}

class TWindowSink final : public TSimSink {
 public:
  HWND Own = nullptr;
  const TSimOptions* Options = nullptr;
  TSimServer* Server = nullptr;
  uint64_t TimedOut = 0;

  bool SendRecord(uint32_t Window, uint32_t Identifier, std::string_view Record) override {
    const HWND Target = reinterpret_cast<HWND>(static_cast<uintptr_t>(Window));
    if (!IsWindow(Target)) return false;
    COPYDATASTRUCT Data{Identifier, static_cast<DWORD>(Record.size()), const_cast<char*>(Record.data())};
    DWORD_PTR Answer = 0;
    // Not SMTO_BLOCK: while we wait, the extension may itself be sending to us.
    if (!SendMessageTimeoutW(Target, WM_COPYDATA, reinterpret_cast<WPARAM>(Own), reinterpret_cast<LPARAM>(&Data),
                             SMTO_NORMAL | SMTO_ABORTIFHUNG, 2000, &Answer)) {
      if (!IsWindow(Target)) return false;
      ++TimedOut;  // a busy host: this value is lost, the next one follows
    }
    return true;
  }

  std::string ToAnsi(std::u16string_view Text) override {
    const std::wstring Wide(Text.begin(), Text.end());
    const int Size =
        WideCharToMultiByte(CP_ACP, 0, Wide.data(), static_cast<int>(Wide.size()), nullptr, 0, nullptr, nullptr);
    std::string Out(static_cast<std::size_t>(std::max(Size, 0)), '\0');
    if (Size > 0)
      WideCharToMultiByte(CP_ACP, 0, Wide.data(), static_cast<int>(Wide.size()), Out.data(), Size, nullptr, nullptr);
    return Out;
  }

  void StateChanged() override {
    WriteStatus();
    if (Options->Verbose) Print("window " + HandleText() + ", subscribed: " + Server->SubscribedText());
  }

  std::string HandleText() const {
    char Buffer[16];
    std::snprintf(Buffer, sizeof Buffer, "0x%08lx", static_cast<unsigned long>(Server->Window()));
    return Buffer;
  }

  // The status file always holds the current window and subscriptions: written
  // beside and moved over, so a reader never sees half of it.
  void WriteStatus() const {
    if (Options->StatusFile.empty()) return;
    const std::u16string Temporary = Options->StatusFile + u".new";
    {
      const TFile Out(_wfopen(Wide(Temporary), L"wb"));
      if (!Out) return;
      const std::string Text = "window " + HandleText() + "\nsubscribed " + Server->SubscribedText() + "\n";
      std::fwrite(Text.data(), 1, Text.size(), Out.Get());
    }
    MoveFileExW(Wide(Temporary), Wide(Options->StatusFile), MOVEFILE_REPLACE_EXISTING);
  }
};

struct TApp {
  TSimOptions Options;
  TWindowSink Sink;
  TVehicleModel* Model = nullptr;
  TDriveReplay* Replay = nullptr;
  TSimServer* Server = nullptr;
  HWND Window = nullptr;
  double Elapsed = 0;
};
TApp* App = nullptr;

void PrintSubscriptions() {
  std::string Line = "subscribed";
  const auto Ids = App->Server->Subscribed();
  Line += " (" + std::to_string(Ids.size()) + "):";
  for (uint32_t Id : Ids) Line += " " + std::to_string(Id) + "=" + CodeOf(Id);
  Print(Line);
}

void PrintState() {
  if (App->Replay) {
    char Line[96];
    std::snprintf(Line, sizeof Line, "replay at %.1f s of %.1f s", App->Replay->Time(), App->Replay->Length());
    Print(Line);
    return;
  }
  const TVehicleModel& M = *App->Model;
  const TVehicleState& S = M.State();
  char Buffer[256];
  std::snprintf(Buffer, sizeof Buffer,
                "t=%.0fs speed=%.0fkm/h gear=%d rpm=%.0f throttle=%.0f%% coolant=%.1fC fan=%s battery=%.2fV "
                "trip=%.3fkm %.3fl",
                S.Time, S.Speed, S.Gear, S.Rpm, S.Throttle, S.Coolant,
                S.Fan == TFanState::High  ? "HIGH"
                : S.Fan == TFanState::Low ? "LOW"
                                          : "OFF",
                S.Battery, M.Trip().Distance, M.Trip().Fuel);
  Print(Buffer);
}

void RunLine(std::string Line) {
  while (!Line.empty() && (Line.back() == '\r' || Line.back() == ' ')) Line.pop_back();
  if (Line == "subs" || Line == "s") {
    PrintSubscriptions();
  } else if (Line == "state") {
    PrintState();
  } else if (Line == "reset") {
    App->Server->OnControl(TripResetMessageId, TCopyData{});
    App->Server->SendTripFigures();
    Print("trip reset");
  } else if (Line == "quit" || Line == "q") {
    PostMessageW(App->Window, WM_CLOSE, 0, 0);
  } else if (Line == "help" || Line == "?") {
    Print("commands: subs, state, reset, quit");
  } else if (!Line.empty()) {
    Print("unknown command '" + Line + "' (help lists them)");
  }
}

// A tick: Seconds of real time (a timer's period, or a host's step) go by.
void Advance(HWND Window, double Seconds) {
  App->Server->Tick(Seconds * App->Options.TimeScale);
  App->Elapsed += Seconds;
  if (App->Options.RunSeconds > 0 && App->Elapsed >= App->Options.RunSeconds) PostMessageW(Window, WM_CLOSE, 0, 0);
  if (App->Replay && App->Replay->Ended()) {
    char Line[96];
    std::snprintf(Line, sizeof Line, "zelm_sim: the recording ended after %.1f s", App->Replay->Length());
    Print(Line);
    PostMessageW(Window, WM_CLOSE, 0, 0);
  }
}

LRESULT CALLBACK WindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  switch (Message) {
    case WM_COPYDATA: {
      const auto* Data = reinterpret_cast<const COPYDATASTRUCT*>(LParam);
      if (Data == nullptr) return FALSE;
      TCopyData Record{};
      if (Data->lpData != nullptr)
        std::memcpy(&Record, Data->lpData, std::min<std::size_t>(Data->cbData, sizeof Record));
      if (App->Options.Verbose) Print("<- " + std::to_string(Data->dwData) + " " + std::to_string(Record.Data1));
      App->Server->OnControl(static_cast<uint32_t>(Data->dwData), Record);
      // Answered after this message returns, as the extension expects no reply; when
      // stepped, at the next step.
      if (App->Server->TripFiguresPending() && !App->Options.Stepped) PostMessageW(Window, cTripMessage, 0, 0);
      return TRUE;
    }
    case cTripMessage:
      if (App->Server->TripFiguresPending()) App->Server->SendTripFigures();
      return 0;
    case WM_TIMER: Advance(Window, 1.0 / App->Options.Rate); return 0;
    case cServerStepMessage:
      // Everything a frame asked for is answered before the host's next frame.
      if (!App->Options.Stepped) return 0;
      if (App->Server->TripFiguresPending()) App->Server->SendTripFigures();
      Advance(Window, static_cast<double>(WParam) / 1e6);
      return 1;
    case cLineMessage: {
      const std::unique_ptr<std::string> Line(reinterpret_cast<std::string*>(LParam));
      RunLine(*Line);
      return 0;
    }
    case WM_CLOSE: DestroyWindow(Window); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcW(Window, Message, WParam, LParam);
  }
}

BOOL WINAPI OnConsoleControl(DWORD) {
  if (App && App->Window) PostMessageW(App->Window, WM_CLOSE, 0, 0);
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

  const std::wstring Title(cServerWindowTitle.begin(), cServerWindowTitle.end());
  if (FindWindowW(nullptr, Title.c_str())) {
    std::fprintf(stderr, "zelm_sim: a data server window \"Morvicantrel\" exists already\n");
    return 3;
  }
  WNDCLASSEXW Class{};
  Class.cbSize = sizeof Class;
  Class.lpfnWndProc = WindowProc;
  Class.hInstance = GetModuleHandleW(nullptr);
  Class.lpszClassName = cClassName;
  if (!RegisterClassExW(&Class)) return 4;
  // A real top-level window, never shown: message-only windows cannot be found by title.
  State.Window = CreateWindowExW(WS_EX_TOOLWINDOW, cClassName, Title.c_str(), WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 Class.hInstance, nullptr);
  if (!State.Window) {
    std::fprintf(stderr, "zelm_sim: cannot create the window (error %lu)\n", GetLastError());
    return 4;
  }

  TVehicleModel Model(O.Seed);
  TSimServer Server(Replay ? static_cast<TDriveSource&>(*Replay) : Model, State.Sink);
  State.Model = &Model;
  State.Server = &Server;
  State.Sink.Own = State.Window;
  State.Sink.Options = &O;
  State.Sink.Server = &Server;
  State.Sink.WriteStatus();
  if (!O.Stepped) SetTimer(State.Window, cTickTimer, static_cast<UINT>(1000 / O.Rate), nullptr);
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);

  const HWND Window = State.Window;
  const bool QuitOnEof = O.QuitOnEof;
  RunDetached([Window, QuitOnEof] {
    std::string Line;
    while (std::getline(std::cin, Line)) {
      // The window's once posted; a line that cannot be posted is let go here.
      auto Posted = std::make_unique<std::string>(Line);
      if (PostMessageW(Window, cLineMessage, 0, reinterpret_cast<LPARAM>(Posted.get()))) (void)Posted.release();
    }
    if (QuitOnEof) PostMessageW(Window, WM_CLOSE, 0, 0);
  });

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
  const TSimCounters& C = Server.Counters();
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
