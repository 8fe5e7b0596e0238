// Rules a data server is told, one a line, to serve fixed values and to behave as a data
// server may (the tests' stand-in takes them from its command line, a script file or
// its window at run time; zelm_sim from its window):
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

#include "tools/sim/DriveSource.h"

namespace zelm::tools {

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
class TRuleSource final : public TDriveSource {
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

}  // namespace zelm::tools
