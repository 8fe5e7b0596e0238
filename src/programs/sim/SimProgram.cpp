#include "programs/sim/SimProgram.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <iostream>

#include "core/tables/Catalogue.h"
#include "programs/common/MessagePump.h"
#include "programs/common/ProgramStart.h"
#include "programs/common/Utf.h"
#include "win/platform/Names.h"

namespace zelm::tools {
namespace {

// Ctrl+C and a closed console stop the program through its own event.
HANDLE GStopOnControl = nullptr;

BOOL WINAPI OnConsoleControl(DWORD) {
  if (GStopOnControl) SetEvent(GStopOnControl);
  return TRUE;
}

std::string CodeOf(uint32_t Id) {
  const int Index = ParamIndexOfId(Id);
  return Index < 0 ? "?" : ToUtf8(cParams[static_cast<std::size_t>(Index)].ValueCode);
}

}  // namespace

void PrintLine(const std::string& Line) {
  std::fwrite(Line.data(), 1, Line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

TSimProgram::TSimProgram(const TSimOptions& Options)
    : FOptions(Options),
      FStop(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      FLinesCame(std::make_shared<THandle>(CreateEventW(nullptr, FALSE, FALSE, nullptr))) {}

TSimProgram::~TSimProgram() {
  if (GStopOnControl == FStop.Get()) GStopOnControl = nullptr;
}

int TSimProgram::Start() {
  SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdout), _O_BINARY);
  if (!FOptions.ReplayFile.empty()) {
    std::string Text, Fault;
    TDrive Drive;
    const std::string Name = ToUtf8(FOptions.ReplayFile);
    if (!ReadWholeFile(FOptions.ReplayFile, Text)) {
      std::fprintf(stderr, "zelm_sim: %s cannot be read\n", Name.c_str());
      return 2;
    }
    if (!ParseDrive(Text, Name, Drive, Fault)) {
      std::fprintf(stderr, "zelm_sim: %s\n", Fault.c_str());
      return 2;
    }
    FReplay = std::make_unique<TDriveReplay>(std::move(Drive), FOptions.Loop);
    for (const auto& Code : FReplay->Unknown())
      PrintLine("zelm_sim: the recording's column '" + ToUtf8(Code) +
                "' is no parameter's value code; it is not served");
  }
  if (FindWindowW(nullptr, ServerWindowTitle())) {
    std::fprintf(stderr, "zelm_sim: a data server window \"Morvicantrel\" exists already\n");
    return 3;
  }
  FModel = std::make_unique<TVehicleModel>(FOptions.Seed);
  FWindow = std::make_unique<TServerWindow>(FReplay ? static_cast<TDriveSource&>(*FReplay) : *FModel);
  if (!FWindow->Window()) {
    std::fprintf(stderr, "zelm_sim: cannot create the window (error %lu)\n", GetLastError());
    return 4;
  }
  FWindow->OnStateChanged = [this] {
    if (OnStateChanged) OnStateChanged();
    if (FOptions.Verbose) PrintLine("window " + HandleText() + ", subscribed: " + FWindow->Server().SubscribedText());
  };
  if (FOptions.Verbose) FWindow->Log = PrintLine;
  return -1;
}

std::string TSimProgram::HandleText() const {
  char Buffer[16];
  std::snprintf(Buffer, sizeof Buffer, "0x%08lx", static_cast<unsigned long>(FWindow->Server().Window()));
  return Buffer;
}

void TSimProgram::Stop() const { SetEvent(FStop.Get()); }

void TSimProgram::Advance(double Seconds) {
  FWindow->Server().Tick(Seconds * FOptions.TimeScale);
  FElapsed += Seconds;
  if (AfterTick) AfterTick(FElapsed);
  if (FReplay && FReplay->Ended()) {
    char Line[96];
    std::snprintf(Line, sizeof Line, "zelm_sim: the recording ended after %.1f s", FReplay->Length());
    PrintLine(Line);
    Stop();
  }
}

void TSimProgram::PrintSubscriptions() const {
  const auto Ids = FWindow->Server().Subscribed();
  std::string Line = "subscribed (" + std::to_string(Ids.size()) + "):";
  for (uint32_t Id : Ids) Line += " " + std::to_string(Id) + "=" + CodeOf(Id);
  PrintLine(Line);
}

void TSimProgram::PrintState() const {
  if (FReplay) {
    char Line[96];
    std::snprintf(Line, sizeof Line, "replay at %.1f s of %.1f s", FReplay->Time(), FReplay->Length());
    PrintLine(Line);
    return;
  }
  const TVehicleState& S = FModel->State();
  char Buffer[256];
  std::snprintf(Buffer, sizeof Buffer,
                "t=%.0fs speed=%.0fkm/h gear=%d rpm=%.0f throttle=%.0f%% coolant=%.1fC fan=%s battery=%.2fV "
                "trip=%.3fkm %.3fl",
                S.Time, S.Speed, S.Gear, S.Rpm, S.Throttle, S.Coolant,
                S.Fan == TFanState::High  ? "HIGH"
                : S.Fan == TFanState::Low ? "LOW"
                                          : "OFF",
                S.Battery, FModel->Trip().Distance, FModel->Trip().Fuel);
  PrintLine(Buffer);
}

void TSimProgram::RunLine(std::string Line) {
  while (!Line.empty() && (Line.back() == '\r' || Line.back() == ' ')) Line.pop_back();
  if (Line == "subs" || Line == "s") {
    PrintSubscriptions();
  } else if (Line == "state") {
    PrintState();
  } else if (Line == "reset") {
    FWindow->Server().OnControl(TripResetMessageId, TCopyData{});
    PrintLine("trip reset");
  } else if (Line == "quit" || Line == "q") {
    Stop();
  } else if (Line == "help" || Line == "?") {
    PrintLine("commands: subs, state, reset, quit");
  } else if (!Line.empty()) {
    PrintLine("unknown command '" + Line + "' (help lists them)");
  }
}

void TSimProgram::TakeLines() {
  std::deque<std::u16string> Lines;
  const bool Ended = FInput->Take(Lines);
  for (const std::u16string& Line : Lines) RunLine(ToUtf8(Line));
  if (Ended && QuitOnEof) Stop();
}

int TSimProgram::Run(const std::string& Note) {
  GStopOnControl = FStop.Get();
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  const std::shared_ptr<THandle> Wake = FLinesCame;
  FInput = StartReadingLines<TLock>(
      std::cin, [Wake] { SetEvent(Wake->Get()); }, RunDetached);

  char Ready[160];
  if (FReplay)
    std::snprintf(Ready, sizeof Ready,
                  "zelm_sim: data server \"Morvicantrel\" ready, %g records/s, replaying %.1f s%s, time x%g",
                  FOptions.Rate, FReplay->Length(), FOptions.Loop ? " again and again" : "", FOptions.TimeScale);
  else
    std::snprintf(Ready, sizeof Ready,
                  "zelm_sim: data server \"Morvicantrel\" ready, %g records/s, seed %llu, time x%g", FOptions.Rate,
                  static_cast<unsigned long long>(FOptions.Seed), FOptions.TimeScale);
  PrintLine(Ready + Note);

  const auto Period = static_cast<DWORD>(1000 / FOptions.Rate);
  DWORD Next = GetTickCount() + Period;
  const HANDLE Events[] = {FStop.Get(), FLinesCame->Get()};
  for (bool Running = true; Running && FWindow->Window() != nullptr;) {
    DWORD Wait = INFINITE;
    if (Ticking) {
      const auto Left = static_cast<int32_t>(Next - GetTickCount());
      Wait = Left > 0 ? static_cast<DWORD>(Left) : 0;
    }
    switch (MsgWaitForMultipleObjects(2, Events, FALSE, Wait, QS_ALLINPUT)) {
      case WAIT_OBJECT_0: Running = false; break;
      case WAIT_OBJECT_0 + 1: TakeLines(); break;
      case WAIT_OBJECT_0 + 2: Running = PumpWaiting(); break;
      case WAIT_TIMEOUT:
        Advance(Period / 1000.0);
        // Behind by more than a tick (a busy machine): the ticks that were missed are
        // not made up in a burst.
        Next += Period;
        if (static_cast<int32_t>(GetTickCount() - Next) > static_cast<int32_t>(Period)) Next = GetTickCount() + Period;
        break;
      default: Running = false; break;
    }
  }
  const TSimCounters& C = FWindow->Server().Counters();
  char Summary[200];
  std::snprintf(
      Summary, sizeof Summary,
      "zelm_sim: stopped; received %llu announcements, %llu adds, %llu deletes, %llu trip reads, %llu resets; "
      "sent %llu records",
      static_cast<unsigned long long>(C.Announcements), static_cast<unsigned long long>(C.Adds),
      static_cast<unsigned long long>(C.Deletes), static_cast<unsigned long long>(C.TripReads),
      static_cast<unsigned long long>(C.TripResets), static_cast<unsigned long long>(C.RecordsSent));
  PrintLine(Summary);
  return 0;
}

}  // namespace zelm::tools
