// zelm_check's look at the extension in use: created as RideRunner creates it, watched
// for a few seconds as values arrive, and judged.
#pragma once

#include "programs/check/Options.h"

namespace zelm::tools {

// The whole check of the installed extension: prints what it sees and the verdict, and
// answers the verdict's exit code.
int RunCheck(const TCheckOptions& Options);

}  // namespace zelm::tools
