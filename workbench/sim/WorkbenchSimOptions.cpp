#include "workbench/sim/WorkbenchSimOptions.h"

#include <vector>

namespace zelm::tools {
namespace {

const TOptionInfo cOwnOptions[] = {
    {u"--status", "FILE", "a file name", "keep the window and the subscriptions in this file"},
    {u"--quit-on-eof", nullptr, "", "stop when standard input ends"},
    {u"--run-seconds", "N", "a number from 0 to 1000000", "stop after this many seconds; 0 runs until quit (0)"},
    {u"--stepped", nullptr, "", "move the clock only at a host's step message"},
};

// The demo's rows, then ours.
const std::vector<TOptionInfo>& Table() {
  static const std::vector<TOptionInfo> All = [] {
    std::vector<TOptionInfo> Rows(SimOptionTable().begin(), SimOptionTable().end());
    Rows.insert(Rows.end(), std::begin(cOwnOptions), std::end(cOwnOptions));
    return Rows;
  }();
  return All;
}

bool Take(std::u16string_view Name, std::u16string_view Value, TWorkbenchSimOptions& O) {
  if (Name == u"--run-seconds") return ReadNumber(Value, 0, 1e6, O.RunSeconds);
  if (Name == u"--status")
    O.StatusFile = Value;
  else if (Name == u"--quit-on-eof")
    O.QuitOnEof = true;
  else if (Name == u"--stepped")
    O.Stepped = true;
  else
    return TakeSimOption(Name, Value, O.Sim);
  return true;
}

const char* Complete(const TWorkbenchSimOptions& O) { return CompleteSimOptions(O.Sim); }

}  // namespace

TParsed ParseWorkbenchSimOptions(const std::vector<std::u16string>& Args, TWorkbenchSimOptions& Options,
                                 std::string& Fault) {
  return ParseOptionsInto<TWorkbenchSimOptions>(Args, Table(), Take, Complete, Options, Fault);
}

std::string WorkbenchSimUsage() { return UsageText("zelm_sim_workbench [option VALUE]...", Table(), cSimInputHelp); }

}  // namespace zelm::tools
