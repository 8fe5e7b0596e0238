#include "tools/check/CheckReport.h"

#include "tools/common/Utf.h"

namespace zelm::tools {
namespace {

const TOptionInfo cOptions[] = {
    {u"--codes", "FILE...", "skin files", "scan skin files of any format for codes ZelmKvel does not know"},
    {u"--verify", "[SUMS]", "a checksum file", "check every file listed in SHA256SUMS (beside this program)"},
    {u"--seconds", "N", "a number from 1 to 60", "how long to watch the extension (5)"},
    {u"--wait", nullptr, "", "wait for Enter before ending (for a window of its own)"},
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
  for (const std::u16string& File : Options.Files)
    if (File == u"--help" || File == u"-h") return TParsed::Help;
  if (Options.Mode == TCheckMode::Codes && Options.Files.empty()) {
    Fault = "--codes needs one or more skin files";
    return TParsed::Fault;
  }
  if (Options.Mode == TCheckMode::Verify && Options.Files.size() > 1) {
    Fault = "--verify takes one checksum file at most";
    return TParsed::Fault;
  }
  return ParseArguments(
      Own, std::span<const TOptionInfo>(cOptions).subspan(2),
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
      "Without options: creates the installed ZelmKvel as RideRunner does, shows for a few\n"
      "seconds what it gets from the data server, and ends with a verdict. Exit codes:\n"
      "  0 installed and working      3 not registered       4 registered, file missing or moved\n"
      "  5 registered, does not load  6 no data server       7 data server found, no values\n"
      "  8 in use: close RideRunner   9 the check could not run\n"
      "  --codes: 0 every code known, 1 unknown codes named; --verify: 0 all match, 1 not;\n"
      "  2 a wrong command line or a file that cannot be read.\n");
}

TVerdict Judge(const TCheckFacts& Facts) {
  if (!Facts.Registered) return TVerdict::NotRegistered;
  if (!Facts.ServerFileThere) return TVerdict::FileMissing;
  if (Facts.InUse) return TVerdict::InUse;
  if (!Facts.Created) return TVerdict::DoesNotLoad;
  if (!Facts.DataServerFound) return TVerdict::NoDataServer;
  if (Facts.ValuesSeen == 0) return TVerdict::NoValues;
  return TVerdict::Working;
}

int ExitCodeOf(TVerdict Verdict) {
  switch (Verdict) {
    case TVerdict::Working: return 0;
    case TVerdict::NotRegistered: return 3;
    case TVerdict::FileMissing: return 4;
    case TVerdict::DoesNotLoad: return 5;
    case TVerdict::NoDataServer: return 6;
    case TVerdict::NoValues: return 7;
    case TVerdict::InUse: return 8;
  }
  return cCheckFailed;
}

std::vector<std::string> VerdictLines(TVerdict Verdict, const TCheckFacts& Facts) {
  const std::string Path = ToUtf8(Facts.ServerPath);
  switch (Verdict) {
    case TVerdict::Working:
      return {"Verdict: ZelmKvel is installed and working: it gets values from the data server.",
              "If RideRunner's labels still stay empty, look at the skin's codes: zelm_check --codes SKINFILE"};
    case TVerdict::NotRegistered:
      return {"Verdict: ZelmKvel is not registered (no class ZelmKvel.RRExtension).",
              "Install it: the .msi package, or install.cmd of the zip as administrator."};
    case TVerdict::FileMissing:
      return {
          "Verdict: ZelmKvel is registered, but the file it is registered with is missing or was moved:", "  " + Path,
          "Install it again from where it is to stay (install.cmd there, or the .msi package); to remove",
          "the stale entries, run uninstall.cmd from any copy of the zip."};
    case TVerdict::DoesNotLoad:
      return {
          "Verdict: ZelmKvel is registered and its file is there, but it does not load (" + Facts.CreateError + "):",
          "  " + Path,
          "The file may be damaged: check it (zelm_check --verify beside the zip's files), or install again."};
    case TVerdict::NoDataServer:
      return {"Verdict: ZelmKvel is installed and loads, but no data server is running (no window \"Morvicantrel\").",
              "Start the Zelm data server (or zelm_sim.exe, the demo one) on this desktop, then check again."};
    case TVerdict::NoValues:
      return {"Verdict: ZelmKvel is installed and found the data server, but no values arrived.",
              "Does the data server run with other rights than RideRunner (one as administrator)? Run both alike.",
              "Is it connected to the car? It may be waiting for the vehicle's diagnostics."};
    case TVerdict::InUse:
      return {"Verdict: another program on this desktop (RideRunner?) has ZelmKvel loaded, so the check made no",
              "copy of its own: the data server sends its values to one window at a time, and a second copy",
              "would take them from the first. Close RideRunner, then run zelm_check again."};
  }
  return {};
}

std::string CodeLine(std::string_view File, const TCodeFinding& Finding) {
  return std::string(File) + ":" + std::to_string(Finding.Line) + ": '" + ToUtf8(Finding.Word) +
         "' is no ZelmKvel code; nearest: " + ToUtf8(Finding.Nearest);
}

}  // namespace zelm::tools
