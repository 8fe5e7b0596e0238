// This process's debug output, caught where it is raised: OutputDebugString raises an
// exception that a debugger takes; with none, the text goes to a debug-output viewer. A
// vectored handler of ours sees the exception first, in our own process, on Windows XP
// to 11 and under Wine alike, and takes the line. zelm_check reads the DLL's trace so;
// the tests read it so too.
#pragma once

#include <string>
#include <vector>

namespace zelm::tools {

// From now on (once for the process) every line of debug output is caught.
void CatchDebugOutput();
// The lines caught since the last call, without their line ends, UTF-8.
std::vector<std::string> TakeDebugOutput();

}  // namespace zelm::tools
