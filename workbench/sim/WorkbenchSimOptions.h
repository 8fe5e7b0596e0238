// The workbench's data server's command line: the demo data server's options and its
// own switches, for the workbench's script and the workbench's tests:
//
//   zelm_sim_workbench [demo options] [--status FILE] [--quit-on-eof] [--run-seconds N]
//                      [--stepped]
//
// Portable, read as every program's is (programs/common/CommandLine.h).
#pragma once

#include <string>
#include <vector>

#include "programs/sim/SimOptions.h"

namespace zelm::tools {

struct TWorkbenchSimOptions {
  TSimOptions Sim;
  std::u16string StatusFile;
  bool QuitOnEof = false;
  double RunSeconds = 0;  // 0: until asked to stop
  bool Stepped = false;   // the clock moves only when a host steps it (workbench/sim/ServerStep.h)
};

TParsed ParseWorkbenchSimOptions(const std::vector<std::u16string>& Args, TWorkbenchSimOptions& Options,
                                 std::string& Fault);
std::string WorkbenchSimUsage();

}  // namespace zelm::tools
