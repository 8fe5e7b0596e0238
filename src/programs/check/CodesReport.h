// zelm_check --codes, portable: one file's bytes decoded as the front-end reads a skin,
// its ce_ codes scanned and judged, the lines of its report, and the exit code of
// several; and the wildcards and skin-file names by which the Windows half (CodesRun)
// finds the files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "programs/common/SkinCodes.h"

namespace zelm::tools {

// What became of one name given (a file, a folder, a wildcard), in order of gravity:
// all known; nothing to check; read and found wrong; what could not be read at all. Its
// exit code rises with it (0, then 11 to 17), so that a batch file's "if errorlevel N",
// which means N or more, holds every graver verdict too.
enum class TFileVerdict { AllKnown, NoCode, Empty, Unknown, NoSkinFiles, Unreadable, Undecodable, NotFound };

struct TFileCheck {
  TFileVerdict Verdict = TFileVerdict::NotFound;
  std::string Why;  // NotFound, Unreadable, Undecodable: in what words
  TSkinEncoding Encoding = TSkinEncoding::Ascii;
  unsigned CodePage = 0;  // the system's ANSI code page, for TSkinEncoding::Ansi
  TCodeScan Scan;
};

// A name given that came to no reading (not found, a folder without skin files, a file
// that cannot be read), and why.
TFileCheck Unread(TFileVerdict Verdict, std::string Why = {});
// One file's bytes, decoded as the front-end reads them, scanned and judged.
TFileCheck CheckSkinBytes(std::string_view Bytes, const TAnsiCodePages& Ansi);
// What the check says of it: a line per unknown code (more for a look-alike or a code in
// another code page), "FILE:LINE: ...", then the file's verdict, "FILE: ...". A long word
// is shown by its start and its length.
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
