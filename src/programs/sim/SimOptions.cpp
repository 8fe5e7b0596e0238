#include "programs/sim/SimOptions.h"

namespace zelm::tools {
namespace {

const TOptionInfo cOptions[] = {
    {u"--rate", "N", "a number from 1 to 50", "records a second of each subscribed parameter (10)"},
    {u"--seed", "N", "a count from 0 to 999999999999999", "the car's seed: the same seed, the same drive (1)"},
    {u"--time-scale", "X", "a number from 0.1 to 100", "simulated seconds per second (1)"},
    {u"--verbose", nullptr, "", "print each control message and change of state"},
    {u"--replay", "FILE", "a recorded drive (a CSV file)", "serve a recorded drive instead of the car"},
    {u"--loop", nullptr, "", "with --replay: start the recording again when it ends"},
};

}  // namespace

std::span<const TOptionInfo> SimOptionTable() { return cOptions; }

bool TakeSimOption(std::u16string_view Name, std::u16string_view Value, TSimOptions& O) {
  if (Name == u"--rate") return ReadNumber(Value, 1, 50, O.Rate);
  if (Name == u"--seed") return ReadCount(Value, 999999999999999, O.Seed);
  if (Name == u"--time-scale") return ReadNumber(Value, 0.1, 100, O.TimeScale);
  if (Name == u"--replay")
    O.ReplayFile = Value;
  else if (Name == u"--verbose")
    O.Verbose = true;
  else if (Name == u"--loop")
    O.Loop = true;
  else
    return false;
  return true;
}

const char* CompleteSimOptions(const TSimOptions& O) {
  return O.Loop && O.ReplayFile.empty() ? "--loop goes with --replay FILE: it repeats a recording" : nullptr;
}

TParsed ParseSimOptions(const std::vector<std::u16string>& Args, TSimOptions& Options, std::string& Fault) {
  return ParseOptionsInto<TSimOptions>(Args, cOptions, TakeSimOption, CompleteSimOptions, Options, Fault);
}

std::string SimUsage() { return UsageText("zelm_sim [option VALUE]...", cOptions, cSimInputHelp); }

}  // namespace zelm::tools
