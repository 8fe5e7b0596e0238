// What zelm_check finds of ZelmKvel's registration: the entries a front-end needs, the
// file they name, and whether the installer put them there.
#pragma once

#include "programs/check/Verdict.h"

namespace zelm::tools {

// Reads the registry into Facts.
void ReadRegistration(TCheckFacts& Facts);
// The same, and prints what it found.
void LookAtRegistration(TCheckFacts& Facts);

}  // namespace zelm::tools
