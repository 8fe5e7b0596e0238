// The data server's window: a hidden top-level window titled "Morvicantrel" on the
// calling thread. Its control messages go to the protocol engine (programs/sim/SimServer.h),
// whose records go out as WM_COPYDATA from inside the window procedure, as the Zelm
// data server sends them. The demo data server, the workbench's and the tests' all make
// theirs here; what differs is where the values come from (the simulated car, a recorded
// drive, the tests' rules) and what else their program does.
//
// Every process on the desktop can send to this window. It takes a WM_COPYDATA as one
// control record of the protocol (the extension's Announce, Add, Delete and trip
// messages), whoever sends it; it keeps its own state in the process (never on the
// window, where another process could write), and every other message has the default
// handling (WM_CLOSE closes it, as it closes any window).
//
// Each event can be told as a log line, space-separated key=value fields after a word:
//   recv id=DWDATA cb=CBDATA wp=WPARAM d1=D1 d2=D2 d3=D3 d4=D4 [owner=PID]
//        (a control message; owner, for id 64, is the process that owns window D1)
//   sent id=IDENT ok=0|1 to=HWND       a record sent (ok: the window took it)
// All numbers are unsigned decimal.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "programs/sim/SimServer.h"

namespace zelm::tools {

class TServerWindow final : private TSimSink {
 public:
  explicit TServerWindow(TDriveSource& Source);
  ~TServerWindow() override;
  TServerWindow(const TServerWindow&) = delete;
  TServerWindow& operator=(const TServerWindow&) = delete;

  // Null once the window is gone (closed, or never made).
  HWND Window() const noexcept { return FWindow; }
  TSimServer& Server() noexcept { return FServer; }
  // Records sent that the extension's window took.
  uint64_t RecordsTaken() const noexcept { return FTaken; }

  // Each event as a log line; none when unset.
  std::function<void(const std::string& Line)> Log;
  // Runs first for every control message, inside the window procedure; answers whether
  // the protocol engine hears it too. Unset: it does.
  std::function<bool(uint32_t Id, const TCopyData& Data)> OnControl;
  // Runs first for every message of the window; answers whether it took it (Result
  // goes back). The program's own messages, for a program that has some.
  std::function<bool(UINT Message, WPARAM WParam, LPARAM LParam, LRESULT& Result)> OnMessage;
  // The announced window or the subscriptions changed.
  std::function<void()> OnStateChanged;

 private:
  static LRESULT CALLBACK Entry(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);
  static TServerWindow* Bound(HWND Window) noexcept;
  LRESULT Handle(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);
  void Heard(const COPYDATASTRUCT& Data, WPARAM WParam);
  void Say(const std::string& Line) const;

  bool SendRecord(uint32_t Window, uint32_t Identifier, std::string_view Record) override;
  std::string ToAnsi(std::u16string_view Text) override;
  void StateChanged() override;

  TSimServer FServer;
  HWND FWindow = nullptr;
  TServerWindow* FNextBound = nullptr;  // the process's table of bound windows
  uint64_t FTaken = 0;                  // records the extension took (the engine counts the others too)
};

}  // namespace zelm::tools
