// The data server's window: a hidden top-level window titled "Morvicantrel" on the
// calling thread. Its control messages go to the protocol engine (tools/sim/SimServer.h),
// whose records go out as WM_COPYDATA from inside the window procedure, as the Zelm
// data server sends them. zelm_sim, the tests' stand-in and the tests' own threads all
// make theirs here; what differs is where the values come from (the simulated car, a
// recorded drive, rules) and what else the program's window does.
//
// Each event can be told as a log line, space-separated key=value fields after a word:
//   recv id=DWDATA cb=CBDATA wp=WPARAM d1=D1 d2=D2 d3=D3 d4=D4 [owner=PID]
//        (a control message; owner, for id 64, is the process that owns window D1)
//   hang id=DWDATA / woke id=DWDATA    a hang begins inside the window procedure / ends
//   sent id=IDENT ok=0|1 to=HWND       a record sent (ok: the window took it)
//   rule TEXT / bad-rule TEXT
// All numbers are unsigned decimal.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/sim/Rules.h"
#include "tools/sim/SimServer.h"
#include "win/com/Handles.h"

namespace zelm::tools {

inline constexpr wchar_t cServerWindowTitleW[] = L"Morvicantrel";

// Sent (not posted) to the window, these answer how many control messages it has heard
// and how many records it has sent that were taken.
inline constexpr UINT cCountHeardMessage = WM_APP + 1;
inline constexpr UINT cCountSentMessage = WM_APP + 2;
// dwData of a WM_COPYDATA whose data is one rule line (ANSI, no NUL needed). The
// extension never sends it: its message ids are all below 256.
inline constexpr ULONG_PTR cRuleMessageId = 0x5A4C5255u;

class TServerWindow final : private TSimSink {
 public:
  // Values: where value rules go (null: the program takes none).
  explicit TServerWindow(TDriveSource& Source, TRuleSource* Values = nullptr);
  ~TServerWindow() override;
  TServerWindow(const TServerWindow&) = delete;
  TServerWindow& operator=(const TServerWindow&) = delete;

  HWND Window() const noexcept { return FWindow; }
  TSimServer& Server() noexcept { return FServer; }

  // Applies one rule (tools/sim/Rules.h); false for one it does not know.
  bool Rule(const std::string& Line);
  // Ends the hang the window's thread is blocked in, from any thread or, through
  // ReleaseEventName, from any process; one release a hang.
  void Release() const;
  static std::wstring ReleaseEventName(DWORD ProcessId);

  // Each event as a log line; none when unset.
  std::function<void(const std::string& Line)> Log;
  // Runs first for every control message, inside the window procedure.
  std::function<void(uint32_t Id, const TCopyData& Data)> OnControl;
  // A rule whose word is the program's own: answers whether it took it.
  std::function<bool(const TRule& Rule, const std::string& Line)> OnRule;
  // Every message but a WM_COPYDATA and the counts: answers whether it took it
  // (otherwise WM_CLOSE destroys the window and the rest go to DefWindowProc).
  std::function<bool(UINT Message, WPARAM WParam, LPARAM LParam, LRESULT& Result)> OnMessage;
  // The announced window or the subscriptions changed.
  std::function<void()> OnStateChanged;

 private:
  static LRESULT CALLBACK Entry(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);
  LRESULT Handle(UINT Message, WPARAM WParam, LPARAM LParam);
  void Heard(const COPYDATASTRUCT& Data, WPARAM WParam);
  void Say(const std::string& Line) const;

  bool SendRecord(uint32_t Window, uint32_t Identifier, std::string_view Record) override;
  std::string ToAnsi(std::u16string_view Text) override;
  void StateChanged() override;

  struct THang {
    uint32_t Id;
    int Times;  // 0: every one
  };
  TSimServer FServer;
  TRuleSource* FValues;
  std::vector<THang> FHangs;
  THandle FRelease;
  HWND FWindow = nullptr;
  LRESULT FTaken = 0;  // records the extension took (the engine counts the others too)
};

}  // namespace zelm::tools
