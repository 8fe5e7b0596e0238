// zelm_check --verify: the files of the package against its SHA256SUMS.
#pragma once

#include "programs/check/Options.h"

namespace zelm::tools {

// Prints a line a file and the sum; answers the exit code.
int RunVerify(const TCheckOptions& Options);

}  // namespace zelm::tools
