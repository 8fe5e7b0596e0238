// zelm_check's command line, and its usage with every exit code. Portable, so that the
// native tests hold it.
#pragma once

#include <string>
#include <vector>

#include "programs/common/CommandLine.h"

namespace zelm::tools {

enum class TCheckMode { Extension, Codes, Verify };

struct TCheckOptions {
  TCheckMode Mode = TCheckMode::Extension;
  std::vector<std::u16string> Files;  // --codes: the skin files; --verify: the sums file, if given
  double Seconds = 5;                 // how long to watch the extension
  bool Wait = false;                  // wait for Enter at the end (a window opened from the Start menu)
};

TParsed ParseCheckOptions(const std::vector<std::u16string>& Args, TCheckOptions& Options, std::string& Fault);
std::string CheckUsage();

}  // namespace zelm::tools
