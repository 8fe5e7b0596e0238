#include "workbench/host/FrameLoop.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <iostream>

#include "core/protocol/Protocol.h"
#include "programs/common/DriveLog.h"
#include "programs/common/ProgramStart.h"
#include "workbench/sim/ServerStep.h"
#include "programs/common/Utf.h"
#include "workbench/host/Dashboard.h"
#include "workbench/host/SavedVariables.h"
#include "win/platform/Names.h"

namespace zelm::tools {
namespace {

volatile LONG StopRequested = 0;
DWORD LoopThread = 0;

BOOL WINAPI OnConsoleControl(DWORD) {
  InterlockedExchange(&StopRequested, 1);
  PostThreadMessageW(LoopThread, WM_NULL, 0, 0);
  return TRUE;
}

}  // namespace

void StopOnConsoleControl() {
  LoopThread = GetCurrentThreadId();
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

bool THost::PumpMessages() {
  MSG Message;
  while (PeekMessageW(&Message, nullptr, 0, 0, PM_REMOVE)) {
    if (Message.message == WM_QUIT) return false;
    TranslateMessage(&Message);
    DispatchMessageW(&Message);
  }
  return true;
}

void THost::DrainInput() {
  std::deque<std::u16string> Lines;
  const bool Closed = FInput->Take(Lines);
  for (auto& Line : Lines) Input(std::move(Line));
  // Without a frame count the host runs until its input ends.
  if (Closed && FOptions.Frames == 0) FQuit = true;
}

// A line of input: one character presses that key; anything longer is a command batch.
void THost::Input(std::u16string Line) {
  while (!Line.empty() && (Line.back() == u'\r' || Line.back() == u' ')) Line.pop_back();
  if (Line.empty()) return;
  if (ReadResize(Line, FScreenRows, FScreenCols)) return;  // the terminal changed its size
  std::u16string Batch = Line;
  if (Line.size() == 1) {
    const TSkinButton* Button = FSkin.ButtonFor(Line[0]);
    if (Button == nullptr) {
      Status("no button on key '" + ToUtf8(Line) + "'");
      return;
    }
    Batch = Button->Command;
  }
  for (auto& Command : FApi.Variables.RunBatch(Batch, FApi.Faults)) FCommands.push_back(Command);
  RunCommands();
}

// Routes the queued commands: our own verbs here, everything else to the extension.
void THost::RunCommands() {
  for (int Guard = 0; Guard < 100 && !FCommands.empty(); ++Guard) {
    const std::u16string Command = FCommands.front();
    FCommands.pop_front();
    const std::u16string Verb = LowerAsciiCopy(Command);
    if (Verb == u"quit" || Verb == u"exit") {
      FQuit = true;
      continue;
    }
    int ExitCode = 0;
    std::string Error;
    if (!FExtension.ProcessCommand(Command, &FSkinObject, ExitCode, Error))
      Status(Error);
    else
      Status(CommandOutcome(Command, ExitCode, FApi.Variables));
  }
  for (const std::string& Fault : FApi.Faults) Status(Fault);
  FApi.Faults.clear();
}

void THost::Poll() {
  FTexts.resize(FSkin.Labels.size());
  for (std::size_t I = 0; I < FSkin.Labels.size(); ++I) {
    std::string Error;
    if (!FExtension.ReturnLabel(FSkin.Labels[I].Code, FTexts[I], Error)) {
      FTexts[I].assign(1, u'!');  // a failed label request
      Status(Error);
    }
    ++FRequests;
  }
}

const std::string* THost::ReadSimStatus() {
  if (FOptions.SimStatus.empty()) return nullptr;
  FSimText.clear();
  std::string Text;
  if (!ReadWholeFile(FOptions.SimStatus, Text)) {
    FSimText = "-";  // no data server running
    return &FSimText;
  }
  const std::size_t At = Text.find("subscribed");
  if (At != std::string::npos) {
    const std::size_t Begin = std::min(At + 11, Text.size());
    FSimText = Text.substr(Begin, Text.find('\n', Begin) - Begin);
  }
  return &FSimText;
}

void THost::Show() {
  const std::string* Subscribed = ReadSimStatus();
  std::string Out;
  if (FOptions.Format == TFormat::List) {
    Out = ListFrame(FFrame, FSkin, FTexts, Subscribed);
  } else {
    std::string Line = "frame " + std::to_string(FFrame) + " | " + std::to_string(FSkin.Labels.size()) + " labels at " +
                       std::to_string(static_cast<int>(FOptions.Fps)) + "/s";
    if (Subscribed) {
      const auto Count = std::count(Subscribed->begin(), Subscribed->end(), ' ') + !Subscribed->empty();
      Line += *Subscribed == "-" ? " | no data server"
                                 : " | data server sends " + std::to_string(Count) + ": " + CodesOfIds(*Subscribed);
    }
    std::vector<std::u16string> Status = {FromUtf8(Line), FromUtf8(FStatus)};
    for (const std::string& Problem : FProblems) Status.push_back(FromUtf8(Problem));
    const auto Lines = ComposeFrame(FSkin, FTexts, Status);
    Out = FOptions.Format == TFormat::Ansi ? AnsiFrame(FitScreen(Lines, FSkin, FScreenRows, FScreenCols))
                                           : PlainFrame(FFrame, Lines);
  }
  std::fwrite(Out.data(), 1, Out.size(), stdout);
  std::fflush(stdout);
}

// One frame's time for the data server, which sends what it has while we wait here: its
// records come to the extension's window on this thread before the step returns.
void THost::StepServer() {
  const HWND Server = FindWindowW(nullptr, ServerWindowTitle());
  if (Server == nullptr) return;        // none, or gone: the frames go on without values
  constexpr UINT cStepBoundMs = 30000;  // a server that hangs does not hold the run for ever
  DWORD_PTR Ignored = 0;
  SendMessageTimeoutW(Server, cServerStepMessage, static_cast<WPARAM>(std::lround(1e6 / FOptions.Fps)), 0, SMTO_NORMAL,
                      cStepBoundMs, &Ignored);
}

int THost::Run() {
  std::string Error;
  // The skin's variables as the skin ships them, then what was saved into it since.
  for (const TSkinVariable& V : FSkin.Variables) FApi.Variables.Set(V.Name, V.Value);
  if (!FSaved.Path.empty()) {
    const std::string Path = ToUtf8(FSaved.Path);
    if (!LoadSavedVariables(Path, FApi.Variables, Error)) {
      std::fprintf(stderr, "zelm_host: %s\n", Error.c_str());
      return 2;
    }
    if (FSaved.Write) SaveEachTimeTo(Path, FApi.Variables);
  }
  if (!FOptions.RecordFile.empty()) {
    // Stepped, the drive's clock is the frames': the same run records the same seconds.
    FRecorder = TDriveRecorder::Open(FOptions.RecordFile, DriveColumns(FSkin, FApi.Variables),
                                     FOptions.StepServer ? FOptions.Fps : 0, Error);
    if (!FRecorder) {
      std::fprintf(stderr, "zelm_host: %s\n", Error.c_str());
      return 2;
    }
  }

  if (!FExtension.Create(Error)) {
    std::fprintf(stderr, "zelm_host: %s\n", Error.c_str());
    return 3;
  }
  FApi.Route = [this](const std::u16string& Command) { FCommands.push_back(Command); };
  FSkinObject.Name = FSkin.Name;
  bool Started = FExtension.Init(&FApi, Error) && FExtension.Initialize(FOptions.DsPath, Error);
  if (Started) RunCommands();  // "CE_Open", asked for by Initialize
  Started = Started && FExtension.OnLoadSkin(&FSkinObject, Error);
  if (!Started) std::fprintf(stderr, "zelm_host: %s\n", Error.c_str());

  FInput = StartReadingLines<TLock>(
      std::cin, [Loop = GetCurrentThreadId()] { PostThreadMessageW(Loop, WM_NULL, 0, 0); }, RunDetached);

  if (FOptions.Format == TFormat::Ansi) std::fputs("\x1b[?25l\x1b[2J", stdout);
  using TClock = std::chrono::steady_clock;
  const auto Period = std::chrono::duration_cast<TClock::duration>(std::chrono::duration<double>(1 / FOptions.Fps));
  TClock::time_point Next = TClock::now();
  while (Started && !FQuit) {
    ++FFrame;
    const auto Scripted = FOptions.At.equal_range(FFrame);
    for (auto It = Scripted.first; It != Scripted.second; ++It) Input(It->second);
    if (FQuit) break;
    Poll();
    if (FRecorder) FRecorder->Frame(FTexts, FExtension);
    Show();
    if (FOptions.Frames > 0 && FFrame >= FOptions.Frames) break;
    if (FOptions.StepServer) StepServer();

    // Until the next frame: the data server's values arrive as window messages, and
    // keys as lines.
    Next += Period;
    while (!FQuit) {
      if (!PumpMessages() || StopRequested) {
        FQuit = true;
        break;
      }
      DrainInput();
      const TClock::time_point Now = TClock::now();
      if (Now >= Next) break;
      const auto Wait = std::chrono::duration_cast<std::chrono::milliseconds>(Next - Now).count() + 1;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(Wait), QS_ALLINPUT);
    }
    if (TClock::now() > Next + 10 * Period) Next = TClock::now();  // fell far behind: no racing to catch up
  }
  if (FOptions.Format == TFormat::Ansi) std::fputs("\x1b[?25h\r\n", stdout);

  std::string Ignored;
  if (Started) FExtension.OnUnloadSkin(&FSkinObject, Ignored);
  std::printf("zelm_host: %ld frames, %llu label requests%s", FFrame, FRequests,
              FOptions.Format == TFormat::Ansi ? "\r\n" : "\n");
  std::fflush(stdout);
  return Started ? 0 : 4;
}

}  // namespace zelm::tools
