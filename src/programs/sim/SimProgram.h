// The demo data server as a program runs it: the data server's window serving the
// simulated car (or a recorded drive), a tick of the car at the chosen rate, the lines
// of standard input, and what it prints. zelm_sim is this and nothing more; the
// workbench's data server adds its own switches through the hooks below.
//
// Its clock is its own: the ticks come from a wait with a time-out, never from a
// message, so no other program can move it; standard input and Ctrl+C wake it through
// events of its own.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "programs/common/InputLines.h"
#include "programs/common/Threads.h"
#include "programs/sim/DriveReplay.h"
#include "programs/sim/ServerWindow.h"
#include "programs/sim/SimOptions.h"
#include "programs/sim/VehicleModel.h"
#include "win/com/Handles.h"

namespace zelm::tools {

class TSimProgram {
 public:
  explicit TSimProgram(const TSimOptions& Options);
  ~TSimProgram();
  TSimProgram(const TSimProgram&) = delete;
  TSimProgram& operator=(const TSimProgram&) = delete;

  // Reads the recording (if any) and makes the window: -1 when it is ready, else the
  // exit code, with what went wrong said on standard error.
  int Start();
  // Prints that it is ready (with Note added), then runs until stopped, the window is
  // closed or (with QuitOnEof) standard input ends; prints what it heard. Ticking: the
  // clock runs by itself; otherwise only Advance moves it.
  int Run(const std::string& Note = {});
  // Ends Run soon after, from any thread.
  void Stop() const;

  // A tick: Seconds of the program's time go by (the car moves by them times the time
  // scale), and every subscribed reading goes out.
  void Advance(double Seconds);

  TServerWindow& Window() { return *FWindow; }
  std::string HandleText() const;

  bool Ticking = true;
  // Whether to stop when standard input ends (as it does at once without a console).
  bool QuitOnEof = false;
  // After each tick, with the program's seconds so far.
  std::function<void(double Elapsed)> AfterTick;
  // The announced window or the subscriptions changed.
  std::function<void()> OnStateChanged;

 private:
  void RunLine(std::string Line);
  void TakeLines();
  void PrintState() const;
  void PrintSubscriptions() const;

  TSimOptions FOptions;
  std::unique_ptr<TVehicleModel> FModel;
  std::unique_ptr<TDriveReplay> FReplay;
  std::unique_ptr<TServerWindow> FWindow;
  THandle FStop;
  std::shared_ptr<THandle> FLinesCame;  // shared with the reader, which may outlive us
  std::shared_ptr<TInputLines<TLock>> FInput;
  double FElapsed = 0;
};

// Prints one line on standard output at once.
void PrintLine(const std::string& Line);

}  // namespace zelm::tools
