#include "tools/sim/SimOptions.h"

namespace zelm::tools {
namespace {

const TOptionInfo cOptions[] = {
    {u"--rate", "N", "a number from 1 to 50", "records a second of each subscribed parameter (10)"},
    {u"--seed", "N", "a count from 0 to 999999999999999", "the car's seed: the same seed, the same drive (1)"},
    {u"--time-scale", "X", "a number from 0.1 to 100", "simulated seconds per second (1)"},
    {u"--status", "FILE", "a file name", "keep the window and the subscriptions in this file"},
    {u"--quit-on-eof", nullptr, "", "stop when standard input ends"},
    {u"--run-seconds", "N", "a number from 0 to 1000000", "stop after this many seconds; 0 runs until quit (0)"},
    {u"--verbose", nullptr, "", "print each control message and change of state"},
    {u"--replay", "FILE", "a recorded drive (a CSV file)", "serve a recorded drive instead of the car"},
    {u"--loop", nullptr, "", "with --replay: start the recording again when it ends"},
    {u"--stepped", nullptr, "", "move the clock only at a host's step message (tests)"},
};

bool Take(std::u16string_view Name, std::u16string_view Value, TSimOptions& O) {
  if (Name == u"--rate") return ReadNumber(Value, 1, 50, O.Rate);
  if (Name == u"--seed") return ReadCount(Value, 999999999999999, O.Seed);
  if (Name == u"--time-scale") return ReadNumber(Value, 0.1, 100, O.TimeScale);
  if (Name == u"--run-seconds") return ReadNumber(Value, 0, 1e6, O.RunSeconds);
  if (Name == u"--status")
    O.StatusFile = Value;
  else if (Name == u"--replay")
    O.ReplayFile = Value;
  else if (Name == u"--quit-on-eof")
    O.QuitOnEof = true;
  else if (Name == u"--verbose")
    O.Verbose = true;
  else if (Name == u"--loop")
    O.Loop = true;
  else if (Name == u"--stepped")
    O.Stepped = true;
  return true;
}

}  // namespace

TParsed ParseSimOptions(const std::vector<std::u16string>& Args, TSimOptions& Options, std::string& Fault) {
  return ParseOptionsInto<TSimOptions>(
      Args, cOptions, Take,
      [](const TSimOptions& O) {
        return O.Loop && O.ReplayFile.empty() ? "--loop goes with --replay FILE: it repeats a recording" : nullptr;
      },
      Options, Fault);
}

std::string SimUsage() {
  return UsageText("zelm_sim [option VALUE]...", cOptions,
                   "Standard input, a line at a time: subs (the parameters subscribed now),\n"
                   "state (the car's state), reset (the trip), quit.\n");
}

}  // namespace zelm::tools
