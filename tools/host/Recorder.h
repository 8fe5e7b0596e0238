// Which values a recording of a drive keeps (zelm_host --record): every parameter's
// value code the skin shows, once, in the order of the skin: those of its labels and
// those its dynamic labels start on.
#pragma once

#include <string>
#include <vector>

#include "tools/host/HostVariables.h"
#include "tools/host/SkinFile.h"

namespace zelm::bench {

struct TDriveColumn {
  std::u16string Code;  // a parameter's value code, lowered
  int Label = -1;       // the skin's label that shows it directly; -1: asked for apart
};

// Variables: the host's, with the skin's and the saved ones, for the dynamic labels.
std::vector<TDriveColumn> DriveColumns(const TSkin& Skin, const THostVariables& Variables);

}  // namespace zelm::bench
