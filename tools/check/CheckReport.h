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
  bool Registered = false;         // an entry of the class is there, or the installer's mark
  std::u16string InstalledBy;      // the installer package that installed it ("ZelmKvel-1.0.0.msi")
  std::vector<std::string> Wrong;  // entries of the class missing or not right, "HKCR\...: missing"
  std::u16string ServerPath;       // the class's InprocServer32 as registered (without it,
                                   // the type library's path)
  std::u16string LongPath;         // the same in long form, where it differs
  bool ServerFileThere = false;
  bool InUse = false;            // another program on this desktop has ZelmKvel loaded
  bool Created = false;          // the object made through COM, as a front-end makes it
  std::string CreateError;       // why not
  bool DataServerFound = false;  // a window "Morvicantrel" took the extension's messages
  int ValuesSeen = 0;            // label answers that were values (not "-", not empty)
};

enum class TVerdict { Working, NotRegistered, FileMissing, Incomplete, DoesNotLoad, NoDataServer, NoValues, InUse };

// The exit code when the check itself could not run.
inline constexpr int cCheckFailed = 9;

TVerdict Judge(const TCheckFacts& Facts);
// The exit code of each verdict: 0 working, then 3 to 8 and 10 (1 and 2 are the --codes
// and command-line answers, 9 the check's own failure).
int ExitCodeOf(TVerdict Verdict);
// What the check found of the registration, a line each.
std::vector<std::string> RegistrationLines(const TCheckFacts& Facts);
// The verdict in plain words, with what mends it for the way ZelmKvel was installed.
std::vector<std::string> VerdictLines(TVerdict Verdict, const TCheckFacts& Facts);

// --- --codes ---------------------------------------------------------------------
// What became of one name given (a file, a folder, a wildcard), worst last.
enum class TFileVerdict { AllKnown, NoCode, Empty, Unknown, NoSkinFiles, Undecodable, Unreadable, NotFound };

struct TFileCheck {
  TFileVerdict Verdict = TFileVerdict::NotFound;
  std::string Why;  // NotFound, Unreadable, Undecodable: in what words
  TSkinEncoding Encoding = TSkinEncoding::Ascii;
  unsigned CodePage = 0;  // the system's ANSI code page, for TSkinEncoding::Ansi
  int Lines = 0;
  TCodeScan Scan;
};

// A name given that came to no reading (not found, a folder without skin files, a file
// that cannot be read), and why.
TFileCheck Unread(TFileVerdict Verdict, std::string Why = {});
// One file's bytes, decoded as the front-end reads them, scanned and judged.
TFileCheck CheckSkinBytes(std::string_view Bytes, const TAnsiDecoder& Ansi, unsigned CodePage);
// What the check says of it: a line per unknown code (more for a look-alike), "FILE:LINE:
// ...", then the file's verdict, "FILE: ...".
std::vector<std::string> FileCheckLines(std::string_view Name, const TFileCheck& Check);
// The exit code of the gravest verdict (0 when none is given), and the lines that close
// the report: the count of each verdict when there are several, and what unknown codes do.
int CodesExitCode(const std::vector<TFileVerdict>& Verdicts);
std::vector<std::string> CodesClosing(const std::vector<TFileVerdict>& Verdicts);

// Wildcards as Windows programs take them: * and ? in a name, any case; "*.*" also
// matches a name without a dot.
bool HasWildcards(std::u16string_view Name);
bool MatchesWildcard(std::u16string_view Pattern, std::u16string_view Name);
// The files the check of a folder reads: skin files, by their ending.
bool IsSkinFileName(std::u16string_view Name);
inline constexpr const char* cSkinFileNames = "*.ini, *.xml, *.skin";

}  // namespace zelm::tools
