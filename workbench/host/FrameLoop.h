// The stand-in host's frame loop: starts the extension as the front-end does (Init with
// our host API object, Initialize, OnLoadSkin), then polls every label of the skin
// frame after frame and draws them, routes input lines (a skin's keys, command batches)
// and keeps pumping window messages, by which the data server's values come; with
// --record it hands each frame to the drive's recorder.
#pragma once

#include <chrono>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "programs/common/Threads.h"
#include "programs/common/ExtensionClient.h"
#include "programs/common/FrontEndObject.h"
#include "programs/common/InputLines.h"
#include "workbench/host/Options.h"
#include "workbench/host/DriveRecorder.h"
#include "workbench/host/SkinFile.h"

namespace zelm::tools {

// Ctrl-C and the console's close end the loop of this thread at its next frame.
void StopOnConsoleControl();

class THost {
 public:
  // Problems: what the skin check found, shown under the dashboard.
  // Saved: where the skin's saved variables are read from and written to.
  THost(const TOptions& Options, const TSkin& Skin, std::vector<std::string> Problems, TSavedFile Saved)
      : FOptions(Options),
        FSkin(Skin),
        FProblems(std::move(Problems)),
        FSaved(std::move(Saved)),
        FScreenRows(Options.ScreenRows),
        FScreenCols(Options.ScreenCols) {}
  THost(const THost&) = delete;
  THost& operator=(const THost&) = delete;

  // Runs until quit, the end of input (without a frame count) or the last frame; the
  // program's exit code.
  int Run();

 private:
  bool PumpMessages();
  void DrainInput();
  void Input(std::u16string Line);
  void RunCommands();
  void Poll();
  void Show();
  const std::string* ReadSimStatus();
  void StepServer();
  void Status(std::string Text) { FStatus = std::move(Text); }

  const TOptions& FOptions;
  const TSkin& FSkin;
  std::vector<std::string> FProblems;
  TSavedFile FSaved;
  int FScreenRows, FScreenCols;  // the terminal's, as far as it is known (0: not)
  // The host's objects outlive the extension, which may call them to its end; their
  // commands wait for the call that asked to return.
  TFrontEndObject FApi, FSkinObject;
  std::deque<std::u16string> FCommands;
  TExtension FExtension;
  std::shared_ptr<TInputLines<TLock>> FInput;
  std::vector<std::u16string> FTexts;
  std::string FStatus;
  std::string FSimText;
  long FFrame = 0;
  unsigned long long FRequests = 0;
  bool FQuit = false;
  std::unique_ptr<TDriveRecorder> FRecorder;  // with --record
};

}  // namespace zelm::tools
