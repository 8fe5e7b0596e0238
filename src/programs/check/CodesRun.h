// zelm_check --codes on Windows: the names given (files, folders, wildcards) read as
// the front-end reads a skin, each judged and reported (programs/check/CodesReport.h).
#pragma once

#include "programs/check/Options.h"

namespace zelm::tools {

// Prints each file's report and the closing lines; answers the gravest exit code.
int RunCodes(const TCheckOptions& Options);

}  // namespace zelm::tools
