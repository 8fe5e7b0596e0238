#include "programs/check/CodesReport.h"

#include <algorithm>

#include "core/tables/LabelCodes.h"
#include "programs/check/Verdict.h"
#include "programs/common/Utf.h"

namespace zelm::tools {
namespace {

// Each verdict's exit code and its words in the count of several files, in order of
// gravity.
struct TVerdictInfo {
  TFileVerdict Verdict;
  int ExitCode;
  const char* Counted;
};
constexpr TVerdictInfo cVerdicts[] = {
    {TFileVerdict::AllKnown, 0, "all codes known"},
    {TFileVerdict::NoCode, 11, "without a ce_ code"},
    {TFileVerdict::Empty, 12, "empty"},
    {TFileVerdict::Unknown, 13, "with unknown codes"},
    {TFileVerdict::NoSkinFiles, 14, "a folder without skin files"},
    {TFileVerdict::Unreadable, 15, "not read"},
    {TFileVerdict::Undecodable, 16, "not decoded"},
    {TFileVerdict::NotFound, 17, "not found"},
};

// Words longer than any code and its near misses are shown by their start.
constexpr std::size_t cShownWord = 40;

std::string Plural(std::size_t Count, const char* One, const char* Many) {
  return std::to_string(Count) + " " + (Count == 1 ? One : Many);
}

// A word as the report shows it: whole, or its start and its length, "'ce_xxx…' (4194304
// characters)". A word holds no surrogate: each of its units is a character.
std::string Quoted(std::u16string_view Word) {
  if (Word.size() <= cShownWord) return "'" + ToUtf8(Word) + "'";
  return "'" + ToUtf8(Word.substr(0, cShownWord)) + "\u2026' (" + std::to_string(Word.size()) + " characters)";
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

TFileCheck CheckSkinBytes(std::string_view Bytes, const TAnsiCodePages& Ansi) {
  TFileCheck Check;
  Check.CodePage = Ansi.System;
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
  Check.Scan = ScanCodes(Read.Text);
  if (Read.Encoding == TSkinEncoding::Ansi) FindCodesInOtherCodePages(Check.Scan, Ansi);
  Check.Verdict = Check.Scan.Codes == 0        ? TFileVerdict::NoCode
                  : Check.Scan.Unknown.empty() ? TFileVerdict::AllKnown
                                               : TFileVerdict::Unknown;
  return Check;
}

std::vector<std::string> FileCheckLines(std::string_view Name, const TFileCheck& Check) {
  std::vector<std::string> Lines;
  const std::string File(Name);
  for (const TCodeFinding& F : Check.Scan.Unknown) {
    const std::string Start = File + ":" + std::to_string(F.Line) + ": " + Quoted(F.Word) + " is no ZelmKvel code";
    if (F.OtherCodePage != 0) {
      Lines.push_back(Start + ", but would be " + ToUtf8(F.CodeThere) + ":");
      Lines.push_back("  it was read in the system's ANSI code page, " + CodePageName(Check.CodePage) + ",");
      Lines.push_back("  and is that code in " + CodePageName(F.OtherCodePage) + ": saved in another code page?");
    } else if (!F.LooksLike.empty()) {
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
  const std::string Read = " (" + Plural(static_cast<std::size_t>(Check.Scan.Lines), "line", "lines") + ", read as " +
                           EncodingName(Check) + ")";
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
  const TFileVerdict Gravest = *std::max_element(Verdicts.begin(), Verdicts.end());
  for (const TVerdictInfo& V : cVerdicts)
    if (V.Verdict == Gravest) return V.ExitCode;
  return cCheckFailed;
}

std::vector<std::string> CodesClosing(const std::vector<TFileVerdict>& Verdicts) {
  std::vector<std::string> Lines;
  if (Verdicts.size() > 1) {
    std::string Text = std::to_string(Verdicts.size()) + " checked:";
    const char* Separator = " ";
    for (const TVerdictInfo& V : cVerdicts)
      if (const auto N = std::count(Verdicts.begin(), Verdicts.end(), V.Verdict); N > 0) {
        Text += Separator + std::to_string(N) + " " + V.Counted;
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
