// zelm_check's portable half: its command line, the verdict from what it saw, and the
// lines of its --codes report. The Windows half (CheckMain.cpp) only gathers the facts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/common/CommandLine.h"
#include "tools/common/SkinCodes.h"

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

// What the check saw of the installed extension, in the order it looks.
struct TCheckFacts {
  bool Registered = false;    // the ProgID names a class
  std::u16string ServerPath;  // the class's InprocServer32, as registered
  bool ServerFileThere = false;
  bool InUse = false;            // another program on this desktop has ZelmKvel loaded
  bool Created = false;          // the object made through COM, as a front-end makes it
  std::string CreateError;       // why not
  bool DataServerFound = false;  // a window "Morvicantrel" took the extension's messages
  int ValuesSeen = 0;            // label answers that were values (not "-", not empty)
};

enum class TVerdict { Working, NotRegistered, FileMissing, DoesNotLoad, NoDataServer, NoValues, InUse };

// The exit code when the check itself could not run.
inline constexpr int cCheckFailed = 9;

TVerdict Judge(const TCheckFacts& Facts);
// The exit code of each verdict: 0 working, then 3 to 8 (1 and 2 are the --codes and
// command-line answers).
int ExitCodeOf(TVerdict Verdict);
// The verdict in plain words, with what to do, a line each.
std::vector<std::string> VerdictLines(TVerdict Verdict, const TCheckFacts& Facts);

// --codes: one line per unknown code, "FILE:LINE: 'word' is no ZelmKvel code; nearest: code".
std::string CodeLine(std::string_view File, const TCodeFinding& Finding);

}  // namespace zelm::tools
