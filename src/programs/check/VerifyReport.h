// zelm_check --verify, portable: the package's SHA256SUMS read line by line, each file it
// names judged, the verdict with its exit code, and its lines with what mends it for the
// way ZelmKvel was installed. The Windows half (VerifyRun) reads the files.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zelm::tools {

struct TSumsEntry {
  std::size_t Line = 0;  // from 1
  std::string Digest;    // 64 small hexadecimal digits
  std::string Name;      // a file of the folder of SHA256SUMS
  bool Outside = false;  // of a line that is none: a checksum line naming a path
};

// SHA256SUMS as read: its entries, and the lines that are none (blank lines aside).
struct TSums {
  std::vector<TSumsEntry> Entries;
  std::vector<TSumsEntry> Unread;  // Name: the line as it stands
  bool Empty = true;               // nothing but blanks and line ends
  bool Utf16 = false;              // UTF-16 text, which sha256sum never writes
};
TSums ReadSums(std::string_view Text);

// What became of a file SHA256SUMS names. The installer does not install the zip's own
// scripts: in its folder they are not there, and rightly.
enum class TFileState { Same, Differs, Missing, Unreadable, NotInstalled };
bool ZipOnly(std::string_view Name);

struct TVerifyRun {
  std::string SumsName;            // as given, or the one beside the program
  std::string Unreadable;          // why SHA256SUMS could not be read ("not found"), if not
  TSums Sums;                      // what it holds
  std::vector<TFileState> States;  // one for each entry
  std::u16string InstalledBy;      // the installer package, when its folder is checked
};

enum class TVerifyVerdict { AllSame, Damaged, LinesUnread, NoEntry, Empty, Unreadable };
TVerifyVerdict JudgeVerify(const TVerifyRun& Run);
// 0 all as published, 1 damaged, then 20 to 23 (the documented codes of --verify).
int VerifyExitCode(TVerifyVerdict Verdict);
// A line for each entry, then the lines SHA256SUMS had that are none, the count, and
// what mends what was found.
std::vector<std::string> VerifyLines(const TVerifyRun& Run);

}  // namespace zelm::tools
