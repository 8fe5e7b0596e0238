// The skin check: what a skin asks of the extension that it would not get. Run by
// zelm_host --check and on every load. A skin that reads well can still show a blank
// label or a slot that never steps; this says which, where and how to put it right.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "workbench/host/SkinFile.h"

namespace zelm::tools {

// Every problem of the skin, in the order of the file, as "FILE:LINE: what is wrong;
// the fix": the faults that reading it found (Faults, from ParseSkin) and, in what was
// read, these:
//   - label codes that are none of the extension's (they show blank);
//   - button commands that neither the host nor the extension takes;
//   - dynamic label slots the skin uses whose variable holds no code of the cycle
//     (empty, unknown, or the fuel-pump relay): their step command never moves them.
std::vector<std::string> CheckSkin(const TSkin& Skin, std::string_view FileName,
                                   const std::vector<TSkinProblem>& Faults = {});

}  // namespace zelm::tools
