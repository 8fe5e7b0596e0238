#include "programs/check/VerifyReport.h"

#include <algorithm>
#include <cstdio>

#include "programs/check/Verdict.h"
#include "programs/common/Sha256.h"
#include "programs/common/Utf.h"

namespace zelm::tools {
namespace {

// A line that could not be read, as the console shows it: printable ASCII, the rest as
// '?', cut.
std::string Shown(std::string_view Line) {
  constexpr std::size_t cMost = 44;
  std::string Out;
  for (const char C : Line.substr(0, cMost)) Out.push_back(C >= ' ' && C <= '~' ? C : '?');
  return Line.size() > cMost ? Out + "..." : Out;
}

std::string Plural(std::size_t Count, const char* One, const char* Many) {
  return std::to_string(Count) + " " + (Count == 1 ? One : Many);
}

// sha256sum writes plain text; a UTF-16 editor's copy has a mark or NUL bytes by ASCII.
bool LooksUtf16(std::string_view Text) {
  if (Text.substr(0, 2) == "\xFF\xFE" || Text.substr(0, 2) == "\xFE\xFF") return true;
  return Text.size() >= 2 && (Text[0] == '\0') != (Text[1] == '\0');
}

// What puts right what was found: for the zip a fresh copy; for the installer its files
// written again, all of them (a repair leaves a changed file without a version alone, as
// an owner's own).
std::vector<std::string> MendLines(const TVerifyRun& Run, bool Files, const std::string& Sums) {
  if (!Run.InstalledBy.empty())
    return {"It was installed with " + ToUtf8(Run.InstalledBy) + ": write its files again. As",
            "administrator, in the folder of that file:", RepairCommand(Run.InstalledBy, "amus")};
  if (Files)
    return {"Copy each file that differs or is missing from a fresh copy of the zip into",
            "the folder of " + Sums + ", then check again."};
  return {"Copy " + Sums + " from a fresh copy of the zip into its folder,", "then check again."};
}

}  // namespace

TSums ReadSums(std::string_view Text) {
  TSums Sums;
  Sums.Empty = Text.find_first_not_of(" \t\r\n") == std::string_view::npos;
  Sums.Utf16 = !Sums.Empty && LooksUtf16(Text);
  if (Sums.Utf16) return Sums;
  std::size_t Number = 0;
  for (std::size_t Start = 0; Start < Text.size();) {
    const std::size_t End = std::min(Text.find('\n', Start), Text.size());
    const std::string_view Line = Text.substr(Start, End - Start);
    Start = End + 1;
    ++Number;
    if (Line.find_first_not_of(" \t\r") == std::string_view::npos) continue;
    TSumsEntry Entry;
    Entry.Line = Number;
    // A name with a path in it would have us read a file outside the package's folder.
    if (ParseSumsLine(Line, Entry.Digest, Entry.Name) && Entry.Name.find_first_of("\\/:") == std::string::npos) {
      Sums.Entries.push_back(std::move(Entry));
      continue;
    }
    Entry.Outside = !Entry.Name.empty();
    Entry.Name = std::string(Line.substr(0, Line.find_last_not_of('\r') + 1));
    Entry.Digest.clear();
    Sums.Unread.push_back(std::move(Entry));
  }
  return Sums;
}

bool ZipOnly(std::string_view Name) { return Name == "install.cmd" || Name == "uninstall.cmd"; }

TVerifyVerdict JudgeVerify(const TVerifyRun& Run) {
  if (!Run.Unreadable.empty()) return TVerifyVerdict::Unreadable;
  if (Run.Sums.Empty) return TVerifyVerdict::Empty;
  if (Run.Sums.Entries.empty()) return TVerifyVerdict::NoEntry;
  if (std::any_of(Run.States.begin(), Run.States.end(),
                  [](TFileState S) { return S != TFileState::Same && S != TFileState::NotInstalled; }))
    return TVerifyVerdict::Damaged;
  if (!Run.Sums.Unread.empty()) return TVerifyVerdict::LinesUnread;
  return TVerifyVerdict::AllSame;
}

int VerifyExitCode(TVerifyVerdict Verdict) {
  switch (Verdict) {
    case TVerifyVerdict::AllSame: return 0;
    case TVerifyVerdict::Damaged: return 1;
    case TVerifyVerdict::Unreadable: return 20;
    case TVerifyVerdict::Empty: return 21;
    case TVerifyVerdict::NoEntry: return 22;
    case TVerifyVerdict::LinesUnread: return 23;
  }
  return cCheckFailed;
}

std::vector<std::string> VerifyLines(const TVerifyRun& Run) {
  const TVerifyVerdict Verdict = JudgeVerify(Run);
  const std::string Sums = Run.SumsName.substr(Run.SumsName.find_last_of("\\/") + 1);
  std::vector<std::string> Lines;
  for (std::size_t I = 0; I < Run.Sums.Entries.size() && I < Run.States.size(); ++I) {
    static constexpr const char* cSaid[] = {"OK", "DIFFERS: damaged", "MISSING", "CANNOT BE READ (in use?)",
                                            "not installed: the zip's own (rightly)"};
    char Line[512];
    std::snprintf(Line, sizeof Line, "  %-20s %s", Run.Sums.Entries[I].Name.c_str(),
                  cSaid[static_cast<int>(Run.States[I])]);
    Lines.emplace_back(Line);
  }
  // At most a few of the lines that are none, each as it stands.
  constexpr std::size_t cShown = 3;
  const std::vector<TSumsEntry>& Unread = Run.Sums.Unread;
  for (std::size_t I = 0; I < Unread.size() && I < cShown; ++I)
    Lines.push_back("  line " + std::to_string(Unread[I].Line) +
                    (Unread[I].Outside ? " names another folder: " : " is no checksum line: ") + Shown(Unread[I].Name));
  if (Unread.size() > cShown) Lines.push_back("  and " + Plural(Unread.size() - cShown, "line more", "lines more"));
  const char* const cForm = "(a checksum line: 64 hexadecimal digits, two blanks, the file's name)";
  switch (Verdict) {
    case TVerifyVerdict::Unreadable:
      Lines.push_back(Run.SumsName + ": " + Run.Unreadable + ", so no file was checked.");
      break;
    case TVerifyVerdict::Empty: Lines.push_back(Sums + ": empty, so no file was checked."); break;
    case TVerifyVerdict::NoEntry:
      if (Run.Sums.Utf16) {
        Lines.push_back(Sums + ": UTF-16 text, not the plain text it was published in,");
        Lines.emplace_back("so no file was checked.");
      } else {
        Lines.push_back(Sums + ": none of its " + Plural(Unread.size(), "line", "lines") +
                        " is a checksum line, so no file was checked");
        Lines.emplace_back(cForm);
      }
      break;
    case TVerifyVerdict::AllSame:
    case TVerifyVerdict::Damaged:
    case TVerifyVerdict::LinesUnread: {
      const auto Count = [&Run](TFileState State) { return std::count(Run.States.begin(), Run.States.end(), State); };
      const auto Good = static_cast<std::size_t>(Count(TFileState::Same));
      const auto Bad = Run.States.size() - Good - static_cast<std::size_t>(Count(TFileState::NotInstalled));
      Lines.push_back(Plural(Good, "file", "files") + " as published, " + std::to_string(Bad) + " not.");
      if (!Unread.empty()) {
        Lines.push_back(Plural(Unread.size(), "line", "lines") + " of " + Sums + " could not be read (above): " +
                        (Unread.size() == 1 ? "its file was" : "their files were") + " not checked.");
        Lines.emplace_back(cForm);
      }
    }
  }
  if (Verdict != TVerifyVerdict::AllSame) {
    const std::vector<std::string> Mend = MendLines(Run, Verdict == TVerifyVerdict::Damaged, Sums);
    Lines.insert(Lines.end(), Mend.begin(), Mend.end());
  }
  return Lines;
}

}  // namespace zelm::tools
