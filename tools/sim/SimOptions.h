// The simulator's command line:
//
//   zelm_sim [--rate N] [--seed N] [--time-scale X] [--status FILE] [--quit-on-eof]
//            [--run-seconds N] [--verbose] [--replay FILE [--loop]] [--stepped]
//
// Portable, read as the host's is (tools/common/CommandLine.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/common/CommandLine.h"

namespace zelm::tools {

struct TSimOptions {
  double Rate = 10;  // records per second per subscribed parameter
  uint64_t Seed = 1;
  double TimeScale = 1;  // simulated seconds per real second
  std::u16string StatusFile;
  bool QuitOnEof = false;
  double RunSeconds = 0;  // 0: until asked to stop
  bool Verbose = false;
  std::u16string ReplayFile;  // a recorded drive to serve instead of the simulated car
  bool Loop = false;          // the recording again from its start when it ends
  bool Stepped = false;       // the clock moves only when a host steps it (tools/common/ServerStep.h)
};

TParsed ParseSimOptions(const std::vector<std::u16string>& Args, TSimOptions& Options, std::string& Fault);
std::string SimUsage();

}  // namespace zelm::tools
