// The stand-in host's command line:
//
//   zelm_host --skin FILE [--vars FILE] [--fps N] [--frames N] [--format ansi|plain|list]
//             [--at FRAME:INPUT]... [--sim-status FILE] [--ds-path TEXT] [--record FILE]
//   zelm_host --check FILE
//
// Portable, so that what each option takes is checked by the native tests; the
// program hands it its arguments as UTF-16.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tools/common/CommandLine.h"

namespace zelm::bench {

enum class TFormat { Ansi, Plain, List };

struct TOptions {
  std::u16string SkinFile;
  bool CheckOnly = false;  // --check: only check the skin
  std::u16string VarsFile;
  std::u16string SimStatus;
  std::u16string DsPath;
  std::u16string RecordFile;
  double Fps = 10;
  long Frames = 0;  // 0: until quit
  TFormat Format = TFormat::Ansi;
  std::multimap<long, std::u16string> At;  // frame -> input line, run before that frame
};

// Reads the arguments after the program's name.
TParsed ParseOptions(const std::vector<std::u16string>& Args, TOptions& Options, std::string& Fault);

// The usage text, one option a line, for --help and after a fault.
std::string Usage();

}  // namespace zelm::bench
