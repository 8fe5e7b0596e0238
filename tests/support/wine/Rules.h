// Rules the tests' data server is told, one a line, to serve fixed values and to behave
// as a data server may (the stand-in takes them from its command line, a script file or
// its window at run time; a server on a test's thread from the test):
//   value ID TEXT[|TITLE,UNIT]  the reading of identifier ID (a trip figure's is its value
//                               only; a live one without a title and unit goes with the
//                               car's)
//   forget ID                   no reading for ID any more
//   hang ID [TIMES]             block inside the window procedure on the next TIMES
//                               control messages with dwData ID (0: every one) until the
//                               window is released
//   silent | talk               answer and send nothing / again
//   quit                        close the window
//   # ...                       a comment, as is an empty line
// Any other word is the program's own (its window may take it).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include <functional>
#include <vector>

#include <windows.h>

#include "programs/sim/DriveSource.h"
#include "programs/sim/ServerWindow.h"
#include "win/com/Handles.h"

namespace zelm::wine {

struct TRule {
  enum class TKind { None, Value, Forget, Hang, Silent, Talk, Quit, Other, Bad };
  TKind Kind = TKind::None;
  uint32_t Id = 0;
  std::string Text;       // a value's text; the word of an Other rule
  std::string TitleUnit;  // a value's "Title,unit", in the system's ANSI code page
  int Times = 1;          // a hang's
};

TRule ParseRule(std::string_view Line);

// The readings that value rules give: nothing moves, and only what a rule set is sent.
class TRuleSource final : public tools::TDriveSource {
 public:
  void Step(double) override {}
  void ResetTrip() override {}
  std::string ValueText(uint32_t Id) const override;
  std::u16string RecordedTitleUnit(uint32_t Id) const override;

  void Set(uint32_t Id, std::string Text, std::u16string TitleUnit);
  void Forget(uint32_t Id) { FValues.erase(Id); }

 private:
  std::map<uint32_t, std::pair<std::string, std::u16string>> FValues;
};

// Sent (not posted) to a ruled server's window, these answer how many control messages
// it has heard and how many records it has sent that were taken.
inline constexpr UINT cCountHeardMessage = WM_APP + 1;
inline constexpr UINT cCountSentMessage = WM_APP + 2;
// dwData of a WM_COPYDATA whose data is one rule line (ANSI, no NUL needed). The
// extension never sends it: its message ids are all below 256.
inline constexpr ULONG_PTR cRuleMessageId = 0x5A4C5255u;

// The data server's window serving the values of its rules, and taking rules at run
// time (as a WM_COPYDATA of cRuleMessageId too), with the counts above.
class TRuledServer {
 public:
  TRuledServer();
  TRuledServer(const TRuledServer&) = delete;
  TRuledServer& operator=(const TRuledServer&) = delete;

  HWND Window() const noexcept { return FWindow.Window(); }
  tools::TSimServer& Server() noexcept { return FWindow.Server(); }
  // Each event as a log line (programs/sim/ServerWindow.h has their words, and adds
  // "hang id=N" / "woke id=N" around a hang, "rule TEXT" / "bad-rule TEXT").
  void SetLog(std::function<void(const std::string& Line)> Log);

  // Applies one rule; false for one it does not know.
  bool Rule(const std::string& Line);
  // Ends the hang the window's thread is blocked in, from any thread or, through
  // ReleaseEventName, from any process; one release a hang.
  void Release() const;
  static std::wstring ReleaseEventName(DWORD ProcessId);

  // A rule whose word is the program's own: answers whether it took it.
  std::function<bool(const TRule& Rule, const std::string& Line)> OnRule;
  // A test's look at each control message, first, inside the window procedure.
  std::function<void(uint32_t Id, const TCopyData& Data)> OnControl;
  // The program's own messages to the window: answers whether it took it.
  std::function<bool(UINT Message, WPARAM WParam, LPARAM LParam, LRESULT& Result)> OnMessage;

 private:
  bool Heard(uint32_t Id, const TCopyData& Data);
  void Say(const std::string& Line) const;

  struct THang {
    uint32_t Id;
    int Times;  // 0: every one
  };
  TRuleSource FValues;
  tools::TServerWindow FWindow;
  std::function<void(const std::string& Line)> FLog;
  std::vector<THang> FHangs;
  THandle FRelease;
  bool FSilent = false;
  LRESULT FHeard = 0;
};

}  // namespace zelm::wine
