#include "programs/check/Options.h"

#include <algorithm>
#include <iterator>

#include "programs/common/Utf.h"

namespace zelm::tools {
namespace {

const TOptionInfo cOptions[] = {
    {u"--codes", "FILE...", "skin files", "name the ce_ codes in them ZelmKvel does not know"},
    {u"--verify", "[SUMS]", "a checksum file", "check the files in SHA256SUMS (beside this program)"},
    {u"--seconds", "N", "a number from 1 to 60", "how long to watch the extension (5)"},
    {u"--wait", nullptr, "", "wait for Enter before ending (a window of its own)"},
};

}  // namespace

TParsed ParseCheckOptions(const std::vector<std::u16string>& Args, TCheckOptions& Options, std::string& Fault) {
  Options = TCheckOptions{};
  // --codes and --verify take the rest of the line as their files.
  // --wait may stand anywhere (the Start menu's shortcut adds it at the end).
  std::vector<std::u16string> Own;
  for (std::size_t I = 0; I < Args.size(); ++I) {
    if (Args[I] == u"--codes" || Args[I] == u"--verify") {
      Options.Mode = Args[I] == u"--codes" ? TCheckMode::Codes : TCheckMode::Verify;
      for (std::size_t J = I + 1; J < Args.size(); ++J) (Args[J] == u"--wait" ? Own : Options.Files).push_back(Args[J]);
      break;
    }
    Own.push_back(Args[I]);
  }
  for (const std::u16string& File : Options.Files) {
    if (File == u"--help" || File == u"-h") return TParsed::Help;
    // No other option goes after them: one there is a mistake, not a file's name (an
    // unknown one is said below with all the options).
    if (File.rfind(u"--", 0) != 0) continue;
    if (std::any_of(std::begin(cOptions), std::end(cOptions), [&](const TOptionInfo& O) { return O.Name == File; })) {
      Fault = ToUtf8(File) + " goes before " + (Options.Mode == TCheckMode::Codes ? "--codes" : "--verify") +
              ", whose files are the rest of the line";
      return TParsed::Fault;
    }
    Own.push_back(File);
  }
  if (Options.Mode == TCheckMode::Codes && Options.Files.empty()) {
    Fault = "--codes needs one or more skin files";
    return TParsed::Fault;
  }
  if (Options.Mode == TCheckMode::Verify && Options.Files.size() > 1) {
    Fault = "--verify takes one checksum file at most";
    return TParsed::Fault;
  }
  // The modes are taken above; the table names them all in a fault.
  return ParseArguments(
      Own, cOptions,
      [&](const TOptionInfo& O, std::u16string_view Value) {
        if (O.Name == u"--wait") return Options.Wait = true;
        return ReadNumber(Value, 1, 60, Options.Seconds);
      },
      Fault);
}

std::string CheckUsage() {
  return UsageText(
      "zelm_check [--seconds N] [--wait]\n       zelm_check --codes FILE...\n"
      "       zelm_check --verify [SUMS]",
      cOptions,
      "Without options: creates the installed ZelmKvel as RideRunner does, shows for a\n"
      "few seconds what it gets from the data server, and ends with a verdict.\n"
      "--codes reads each file as RideRunner does: UTF-8, UTF-16 with or without a\n"
      "byte-order mark, else the system's ANSI code page. For a folder it reads its\n"
      "skin files (*.ini, *.xml, *.skin) and those of the folders in it; * and ? in a\n"
      "name stand for any characters.\n"
      "Exit codes of the check:                 of --codes, the graver the higher:\n"
      "  0  installed and working                 0  codes read, all known\n"
      "  3  not registered                        11 no ce_ code in a file\n"
      "  4  registered, its file missing          12 an empty file\n"
      "  5  registered, does not load             13 unknown codes, each named\n"
      "  6  no data server                        14 a folder without skin files\n"
      "  7  data server refuses it (rights)       15 a file that cannot be read\n"
      "  8  in use: close RideRunner first        16 a file that cannot be decoded\n"
      "  9  the check itself could not run        17 not found\n"
      "  10 registration incomplete\n"
      "  18 data server does not answer (hangs)\n"
      "  19 data server answers, sends no values\n"
      "Of several files, --codes ends with the gravest code: \"if errorlevel N\" in a\n"
      "batch file holds for N and every graver code.\n"
      "Exit codes of --verify:\n"
      "  0  every file as published               20 SHA256SUMS cannot be read\n"
      "  1  a file differs, is missing or unread  21 SHA256SUMS is empty\n"
      "  23 lines of SHA256SUMS not read; the     22 no checksum line in SHA256SUMS\n"
      "     files of the others as published\n"
      "Of all three: 2 a wrong command line.\n");
}
}  // namespace zelm::tools
