#include "tools/check/CheckReport.h"

#include <algorithm>
#include <cstdio>

#include "core/tables/LabelCodes.h"
#include "tools/common/Utf.h"

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
      "Exit codes of the check:                 of --codes (the gravest of its files):\n"
      "  0  installed and working                 0  codes read, all known\n"
      "  3  not registered                        1  unknown codes, each named\n"
      "  4  registered, its file missing          11 no ce_ code in a file\n"
      "  5  registered, does not load             12 an empty file\n"
      "  6  no data server                        13 not found\n"
      "  7  data server found, no values          14 a folder without skin files\n"
      "  8  in use: close RideRunner first        15 a file that cannot be read\n"
      "  9  the check itself could not run        16 a file that cannot be decoded\n"
      "  10 registration incomplete             of --verify: 0 all files match, 1 not\n"
      "  2  a wrong command line\n");
}

TVerdict Judge(const TCheckFacts& Facts) {
  if (!Facts.Registered) return TVerdict::NotRegistered;
  if (!Facts.ServerPath.empty() && !Facts.ServerFileThere) return TVerdict::FileMissing;
  if (!Facts.Wrong.empty()) return TVerdict::Incomplete;
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
    case TVerdict::Incomplete: return 10;
  }
  return cCheckFailed;
}

namespace {

// The file, in long form, and as registered where that differs.
std::vector<std::string> PathLines(const TCheckFacts& Facts, const char* Indent) {
  if (Facts.LongPath.empty()) return {Indent + ToUtf8(Facts.ServerPath)};
  return {Indent + ToUtf8(Facts.LongPath), std::string(Indent) + "(registered as " + ToUtf8(Facts.ServerPath) + ")"};
}

std::u16string FolderOf(const std::u16string& Path) { return Path.substr(0, Path.find_last_of(u"\\/")); }

// What mends an installation by the installer: its repair, by hand or silently.
std::vector<std::string> RepairLines(const TCheckFacts& Facts) {
  const std::string Msi = ToUtf8(Facts.InstalledBy);
  return {"It was installed with " + Msi + ": repair it. Right-click that file and",
          "choose Repair, or choose ZelmKvel in Programs and Features (Add or Remove",
          "Programs), then Repair. Silently, as administrator, in the folder of that file:",
          "  msiexec /i " + Msi + " REINSTALL=ALL REINSTALLMODE=emus /qn"};
}

std::vector<std::string> Joined(std::vector<std::string> Lines, const std::vector<std::string>& More) {
  Lines.insert(Lines.end(), More.begin(), More.end());
  return Lines;
}

}  // namespace

std::vector<std::string> RegistrationLines(const TCheckFacts& Facts) {
  if (!Facts.Registered) return {"  ZelmKvel.RRExtension: not registered"};
  std::vector<std::string> Lines;
  if (Facts.ServerPath.empty()) {
    Lines.emplace_back("  file: none registered");
  } else {
    Lines = PathLines(Facts, "    ");
    Lines[0] = "  file: " + Lines[0].substr(4) + (Facts.ServerFileThere ? " (there)" : " (MISSING)");
  }
  Lines.push_back(Facts.InstalledBy.empty() ? "  registered from its folder (by the zip's install.cmd, or regsvr32)"
                                            : "  installed with " + ToUtf8(Facts.InstalledBy) + " (Windows Installer)");
  Lines.push_back(Facts.Wrong.empty()
                      ? "  registry entries: all there"
                      : "  registry entries: " + std::to_string(Facts.Wrong.size()) + " missing or not right (below)");
  return Lines;
}

std::vector<std::string> VerdictLines(TVerdict Verdict, const TCheckFacts& Facts) {
  const bool ByInstaller = !Facts.InstalledBy.empty();
  switch (Verdict) {
    case TVerdict::Working:
      return {"Verdict: ZelmKvel is installed and working: it gets values from the data",
              "server. If RideRunner's labels still stay empty, look at the skin's codes:",
              "  zelm_check --codes SKINFILE"};
    case TVerdict::NotRegistered:
      return {"Verdict: ZelmKvel is not registered (no class ZelmKvel.RRExtension).",
              "Install it: double-click the .msi package; or unpack the zip where it is to",
              "stay and run its install.cmd as administrator."};
    case TVerdict::FileMissing: {
      auto Lines = Joined({"Verdict: ZelmKvel is registered, but the file it is registered with is missing:"},
                          PathLines(Facts, "  "));
      if (ByInstaller) return Joined(Lines, RepairLines(Facts));
      return Joined(Lines, {"It was registered from a folder (by the zip's install.cmd) that was moved or",
                            "deleted. Run install.cmd as administrator in the folder where ZelmKvel is to",
                            "stay (unpack the zip there again if need be). To remove it instead, run",
                            "uninstall.cmd from any copy of the zip."});
    }
    case TVerdict::Incomplete: {
      std::vector<std::string> Lines = {
          "Verdict: ZelmKvel's registration is incomplete, so RideRunner may not find it:"};
      for (const std::string& Entry : Facts.Wrong) Lines.push_back("  " + Entry);
      if (ByInstaller) return Joined(Lines, RepairLines(Facts));
      if (Facts.ServerPath.empty())
        return Joined(Lines, {"Run install.cmd again, as administrator, in the folder ZelmKvel was installed",
                              "from (or unpack the zip where it is to stay and run its install.cmd)."});
      const std::u16string& Path = Facts.LongPath.empty() ? Facts.ServerPath : Facts.LongPath;
      return Joined(Lines, {"It was registered from its folder (by the zip's install.cmd). Run install.cmd",
                            "there again, as administrator:", "  " + ToUtf8(FolderOf(Path)) + "\\install.cmd"});
    }
    case TVerdict::DoesNotLoad: {
      auto Lines = Joined({"Verdict: ZelmKvel is registered and its file is there, but it does not load",
                           "(" + Facts.CreateError + "):"},
                          PathLines(Facts, "  "));
      if (ByInstaller) return Joined(Lines, RepairLines(Facts));
      return Joined(Lines, {"The file may be damaged: zelm_check --verify, run in its folder, names each",
                            "damaged file. Copy those files from a fresh copy of the zip into that folder."});
    }
    case TVerdict::NoDataServer:
      return {"Verdict: ZelmKvel is installed and loads, but no data server is running",
              "(no window \"Morvicantrel\"). Start the Zelm data server (or zelm_sim.exe, the",
              "demo one) on this desktop, then check again."};
    case TVerdict::NoValues:
      return {"Verdict: ZelmKvel is installed and found the data server, but no values",
              "arrived. Does the data server run with other rights than RideRunner (one as",
              "administrator)? Run both alike. Is it connected to the car? It may be waiting",
              "for the vehicle's diagnostics."};
    case TVerdict::InUse:
      return {"Verdict: another program on this desktop (RideRunner?) has ZelmKvel loaded,",
              "so the check made no copy of its own: the data server sends its values to",
              "one window at a time, and a second copy would take them from the first.",
              "Close RideRunner, then run zelm_check again."};
  }
  return {};
}

namespace {

std::string Plural(std::size_t Count, const char* One, const char* Many) {
  return std::to_string(Count) + " " + (Count == 1 ? One : Many);
}

std::string CodePoint(char16_t C) {
  char Text[8];
  std::snprintf(Text, sizeof Text, "U+%04X", static_cast<unsigned>(C));
  return Text;
}

std::string EncodingName(const TFileCheck& Check) {
  switch (Check.Encoding) {
    case TSkinEncoding::Ascii: return "ASCII";
    case TSkinEncoding::Utf8: return "UTF-8";
    case TSkinEncoding::Utf8Mark: return "UTF-8 with a byte-order mark";
    case TSkinEncoding::Utf16LeMark: return "UTF-16 LE with a byte-order mark";
    case TSkinEncoding::Utf16BeMark: return "UTF-16 BE with a byte-order mark";
    case TSkinEncoding::Utf16Le: return "UTF-16 LE without a byte-order mark";
    case TSkinEncoding::Utf16Be: return "UTF-16 BE without a byte-order mark";
    case TSkinEncoding::Ansi: return "the system's ANSI code page, " + std::to_string(Check.CodePage);
  }
  return "?";
}

}  // namespace

TFileCheck Unread(TFileVerdict Verdict, std::string Why) {
  TFileCheck Check;
  Check.Verdict = Verdict;
  Check.Why = std::move(Why);
  return Check;
}

TFileCheck CheckSkinBytes(std::string_view Bytes, const TAnsiDecoder& Ansi, unsigned CodePage) {
  TFileCheck Check;
  Check.CodePage = CodePage;
  TDecodedSkin Read = DecodeSkinText(Bytes, Ansi);
  Check.Encoding = Read.Encoding;
  if (!Read.Decoded) {
    Check.Verdict = TFileVerdict::Undecodable;
    Check.Why = std::move(Read.Why);
    return Check;
  }
  if (Read.Text.empty()) {
    Check.Verdict = TFileVerdict::Empty;
    return Check;
  }
  Check.Lines = static_cast<int>(std::count(Read.Text.begin(), Read.Text.end(), u'\n')) + (Read.Text.back() != u'\n');
  Check.Scan = ScanCodes(Read.Text);
  Check.Verdict = Check.Scan.Codes == 0        ? TFileVerdict::NoCode
                  : Check.Scan.Unknown.empty() ? TFileVerdict::AllKnown
                                               : TFileVerdict::Unknown;
  return Check;
}

std::vector<std::string> FileCheckLines(std::string_view Name, const TFileCheck& Check) {
  std::vector<std::string> Lines;
  const std::string File(Name);
  for (const TCodeFinding& F : Check.Scan.Unknown) {
    const std::string Start = File + ":" + std::to_string(F.Line) + ": '" + ToUtf8(F.Word) + "' is no ZelmKvel code";
    if (!F.LooksLike.empty()) {
      Lines.push_back(Start + ", but looks like " + ToUtf8(F.LooksLike) + ":");
      for (const TLookAlike& D : F.Differences) {
        Lines.push_back("  its character " + std::to_string(D.Position) + " is the " + LetterName(D.Have) + " (" +
                        CodePoint(D.Have) + "),");
        Lines.push_back("  where the code has the " + LetterName(D.Want) + " (" + CodePoint(D.Want) + ")");
      }
    } else if (!F.Nearest.empty()) {
      Lines.push_back(Start + "; nearest: " + ToUtf8(F.Nearest));
    } else {
      Lines.push_back(Start + ", and none is near it");
    }
  }
  const std::string Read =
      " (" + Plural(static_cast<std::size_t>(Check.Lines), "line", "lines") + ", read as " + EncodingName(Check) + ")";
  const auto Codes = static_cast<std::size_t>(Check.Scan.Codes);
  switch (Check.Verdict) {
    case TFileVerdict::AllKnown:
      Lines.push_back(File + ": " + Plural(Codes, "ce_ code, known", "ce_ codes, all known") + Read);
      break;
    case TFileVerdict::Unknown:
      Lines.push_back(File + ": " + std::to_string(Check.Scan.Unknown.size()) + " of " +
                      Plural(Codes, "ce_ code", "ce_ codes") + " unknown" + Read);
      break;
    case TFileVerdict::NoCode: Lines.push_back(File + ": no ce_ code in it, so nothing to check" + Read); break;
    case TFileVerdict::Empty: Lines.push_back(File + ": empty, so nothing to check"); break;
    case TFileVerdict::NotFound: Lines.push_back(File + ": " + (Check.Why.empty() ? "not found" : Check.Why)); break;
    case TFileVerdict::NoSkinFiles:
      Lines.push_back(File + ": is a folder, with no skin file (" + cSkinFileNames + ") in it or below");
      break;
    case TFileVerdict::Unreadable: Lines.push_back(File + ": cannot be read: " + Check.Why); break;
    case TFileVerdict::Undecodable: Lines.push_back(File + ": cannot be decoded: " + Check.Why); break;
  }
  return Lines;
}

int CodesExitCode(const std::vector<TFileVerdict>& Verdicts) {
  if (Verdicts.empty()) return 0;
  switch (*std::max_element(Verdicts.begin(), Verdicts.end())) {
    case TFileVerdict::AllKnown: return 0;
    case TFileVerdict::Unknown: return 1;
    case TFileVerdict::NoCode: return 11;
    case TFileVerdict::Empty: return 12;
    case TFileVerdict::NotFound: return 13;
    case TFileVerdict::NoSkinFiles: return 14;
    case TFileVerdict::Unreadable: return 15;
    case TFileVerdict::Undecodable: return 16;
  }
  return cCheckFailed;
}

std::vector<std::string> CodesClosing(const std::vector<TFileVerdict>& Verdicts) {
  struct TWords {
    TFileVerdict Verdict;
    const char* Words;
  };
  static constexpr TWords cWords[] = {
      {TFileVerdict::AllKnown, "all codes known"},
      {TFileVerdict::Unknown, "with unknown codes"},
      {TFileVerdict::NoCode, "without a ce_ code"},
      {TFileVerdict::Empty, "empty"},
      {TFileVerdict::NoSkinFiles, "a folder without skin files"},
      {TFileVerdict::Undecodable, "not decoded"},
      {TFileVerdict::Unreadable, "not read"},
      {TFileVerdict::NotFound, "not found"},
  };
  std::vector<std::string> Lines;
  if (Verdicts.size() > 1) {
    std::string Text = std::to_string(Verdicts.size()) + " checked:";
    const char* Separator = " ";
    for (const TWords& W : cWords)
      if (const auto N = std::count(Verdicts.begin(), Verdicts.end(), W.Verdict); N > 0) {
        Text += Separator + std::to_string(N) + " " + W.Words;
        Separator = ", ";
      }
    Lines.push_back(Text + ".");
  }
  if (std::count(Verdicts.begin(), Verdicts.end(), TFileVerdict::Unknown) > 0)
    Lines.emplace_back("A label with an unknown code stays empty; a command with one does nothing.");
  return Lines;
}

bool HasWildcards(std::u16string_view Name) { return Name.find_first_of(u"*?") != std::u16string_view::npos; }

bool MatchesWildcard(std::u16string_view Pattern, std::u16string_view Name) {
  if (Pattern.size() >= 2 && Pattern.substr(Pattern.size() - 2) == u".*" && Name.find(u'.') == Name.npos &&
      MatchesWildcard(Pattern.substr(0, Pattern.size() - 2), Name))
    return true;
  // Greedy, going back to the last star on a mismatch.
  std::size_t P = 0, N = 0, Star = Pattern.npos, StarName = 0;
  while (N < Name.size()) {
    if (P < Pattern.size() && (Pattern[P] == u'?' || LowerAsciiChar(Pattern[P]) == LowerAsciiChar(Name[N]))) {
      ++P, ++N;
    } else if (P < Pattern.size() && Pattern[P] == u'*') {
      Star = P++, StarName = N;
    } else if (Star != Pattern.npos) {
      P = Star + 1, N = ++StarName;
    } else {
      return false;
    }
  }
  while (P < Pattern.size() && Pattern[P] == u'*') ++P;
  return P == Pattern.size();
}

bool IsSkinFileName(std::u16string_view Name) {
  for (const std::u16string_view Pattern : {u"*.ini", u"*.xml", u"*.skin"})
    if (MatchesWildcard(Pattern, Name)) return true;
  return false;
}

}  // namespace zelm::tools
