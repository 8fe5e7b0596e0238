// The demo data server's command line:
//
//   zelm_sim [--rate N] [--seed N] [--time-scale X] [--verbose] [--replay FILE [--loop]]
//
// Portable, read as every program's is (programs/common/CommandLine.h). The workbench's
// data server takes these and options of its own (workbench/sim/WorkbenchSimOptions.h).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "programs/common/CommandLine.h"

namespace zelm::tools {

struct TSimOptions {
  double Rate = 10;  // records per second per subscribed parameter
  uint64_t Seed = 1;
  double TimeScale = 1;  // simulated seconds per real second
  bool Verbose = false;
  std::u16string ReplayFile;  // a recorded drive to serve instead of the simulated car
  bool Loop = false;          // the recording again from its start when it ends
};

// The options' table, and how one is taken (false: not this table's, or a value it
// does not take) and checked once all are read.
std::span<const TOptionInfo> SimOptionTable();
bool TakeSimOption(std::u16string_view Name, std::u16string_view Value, TSimOptions& Options);
const char* CompleteSimOptions(const TSimOptions& Options);

TParsed ParseSimOptions(const std::vector<std::u16string>& Args, TSimOptions& Options, std::string& Fault);
std::string SimUsage();
// What standard input takes, for the usage.
inline constexpr const char* cSimInputHelp =
    "Standard input, a line at a time: subs (the parameters subscribed now),\n"
    "state (the car's state), reset (the trip), quit.\n";

}  // namespace zelm::tools
