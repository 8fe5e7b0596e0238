// zelm_sim: the demo data server. Owns the hidden window titled "Morvicantrel", takes
// the extension's control messages and sends it the simulated car's values (or those of
// a recorded drive), as the Zelm data server does with the car's.
//
//   zelm_sim [--rate N] [--seed N] [--time-scale X] [--verbose] [--replay FILE [--loop]]
//
// Lines on standard input: "subs" prints the parameters subscribed right now,
// "state" the car's state, "reset" resets the trip, "quit" stops.
#include <windows.h>

#include <cstdio>
#include <exception>

#include "ZelmKvelVersion.h"
#include "programs/common/ProgramStart.h"
#include "programs/sim/SimProgram.h"

namespace zelm::tools {
namespace {

int Run() {
  TSimOptions Options;
  std::string Fault;
  const std::string Usage = SimUsage() + "zelm_sim " ZELM_VERSION_TEXT ", the ZelmKvel demo data server\n";
  if (const int Stop = AnswerOptions(ParseSimOptions(Arguments(), Options, Fault), "zelm_sim", Fault, Usage); Stop >= 0)
    return Stop;
  TSimProgram Program(Options);
  if (const int Stop = Program.Start(); Stop >= 0) return Stop;
  return Program.Run();
}

}  // namespace
}  // namespace zelm::tools

int main() { return zelm::tools::RunProgram("zelm_sim", zelm::tools::Run); }
