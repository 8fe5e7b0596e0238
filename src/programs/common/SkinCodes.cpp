#include "programs/common/SkinCodes.h"

#include <algorithm>

#include "core/tables/Catalogue.h"
#include "core/tables/LabelCodes.h"
#include "core/tables/SlotTexts.h"
#include "programs/common/Utf.h"

namespace zelm::tools {
namespace {

bool IsWordChar(char16_t C) {
  if ((C >= u'a' && C <= u'z') || (C >= u'A' && C <= u'Z') || (C >= u'0' && C <= u'9') || C == u'_') return true;
  // Latin letters with marks and Cyrillic (one code is spelled with a Cyrillic letter),
  // and what could not be decoded, which most likely stood inside a word.
  return (C >= 0xC0 && C <= 0x24F && C != 0xD7 && C != 0xF7) || (C >= 0x400 && C <= 0x4FF) || C == 0xFFFD;
}

std::u16string Lowered(std::u16string_view Text) {
  std::u16string Out(Text);
  for (char16_t& C : Out) C = LowerAsciiChar(C);
  return Out;
}

// The Cyrillic letters that look like a Latin one, with the Latin small letter they look
// like.
struct TCyrillicLookAlike {
  char16_t Letter;
  char16_t Latin;
  const char* Name;
};
constexpr TCyrillicLookAlike cCyrillic[] = {
    {u'\u0430', u'a', "Cyrillic a"},          {u'\u0441', u'c', "Cyrillic es"},
    {u'\u0435', u'e', "Cyrillic ie"},         {u'\u043E', u'o', "Cyrillic o"},
    {u'\u0440', u'p', "Cyrillic er"},         {u'\u0445', u'x', "Cyrillic ha"},
    {u'\u0443', u'y', "Cyrillic u"},          {u'\u0456', u'i', "Cyrillic i"},
    {u'\u0458', u'j', "Cyrillic je"},         {u'\u0455', u's', "Cyrillic dze"},
    {u'\u0410', u'a', "Cyrillic capital A"},  {u'\u0412', u'b', "Cyrillic capital Ve"},
    {u'\u0421', u'c', "Cyrillic capital Es"}, {u'\u0415', u'e', "Cyrillic capital Ie"},
    {u'\u041D', u'h', "Cyrillic capital En"}, {u'\u041A', u'k', "Cyrillic capital Ka"},
    {u'\u041C', u'm', "Cyrillic capital Em"}, {u'\u041E', u'o', "Cyrillic capital O"},
    {u'\u0420', u'p', "Cyrillic capital Er"}, {u'\u0422', u't', "Cyrillic capital Te"},
    {u'\u0425', u'x', "Cyrillic capital Ha"},
};

const TCyrillicLookAlike* CyrillicLookAlike(char16_t C) {
  for (const TCyrillicLookAlike& L : cCyrillic)
    if (L.Letter == C) return &L;
  return nullptr;
}

// What a character looks like: a look-alike Cyrillic letter as its Latin one, a Latin
// capital as its small letter.
char16_t Shape(char16_t C) {
  const TCyrillicLookAlike* L = CyrillicLookAlike(C);
  return L ? L->Latin : LowerAsciiChar(C);
}

// The known code that Word differs from only in look-alike letters, with where.
std::u16string_view LookAlikeOf(std::u16string_view Word, std::vector<TLookAlike>& Differences) {
  for (const std::u16string_view Code : KnownCodes()) {
    if (Code.size() != Word.size()) continue;
    std::vector<TLookAlike> Found;
    bool Same = true;
    for (std::size_t I = 0; Same && I < Code.size(); ++I) {
      if (LowerAsciiChar(Word[I]) == Code[I]) continue;
      Same = Shape(Word[I]) == Shape(Code[I]);
      Found.push_back({I + 1, Word[I], Code[I]});
    }
    if (Same) {
      Differences = std::move(Found);
      return Code;
    }
  }
  return {};
}

// UTF-16 without a mark: NULs on one side of the byte pairs (ASCII's high bytes), at
// least one pair in four, and hardly any on the other side. Answers whether, and which.
bool LooksLikeUtf16(std::string_view Bytes, bool& Little) {
  if (Bytes.size() % 2 != 0) return false;
  std::size_t Low = 0, High = 0;  // NULs in the first and the second byte of a pair
  for (std::size_t I = 0; I < Bytes.size(); I += 2) {
    Low += Bytes[I] == '\0';
    High += Bytes[I + 1] == '\0';
  }
  const std::size_t Pairs = Bytes.size() / 2;
  Little = High > Low;
  const std::size_t Most = std::max(Low, High), Fewest = std::min(Low, High);
  return Most * 4 >= Pairs && Fewest * 16 <= Most;
}

}  // namespace

std::u16string FromUtf16(std::string_view Bytes, bool Little) {
  std::u16string Text;
  Text.reserve(Bytes.size() / 2);
  const auto Byte = [&](std::size_t I) { return static_cast<char16_t>(static_cast<unsigned char>(Bytes[I])); };
  for (std::size_t I = 0; I + 1 < Bytes.size(); I += 2)
    Text.push_back(static_cast<char16_t>(Little ? Byte(I) | Byte(I + 1) << 8 : Byte(I) << 8 | Byte(I + 1)));
  return Text;
}

TDecodedSkin DecodeSkinText(std::string_view Bytes, const TAnsiDecoder& Ansi) {
  TDecodedSkin Out;
  const auto Fail = [&Out](std::string Why) {
    Out.Why = std::move(Why);
    return Out;
  };
  const auto Utf16 = [&](std::string_view Units, bool Little, TSkinEncoding Encoding) {
    if (Units.size() % 2 != 0) return Fail("UTF-16 by its mark, but of an odd number of bytes");
    Out = {true, Encoding, FromUtf16(Units, Little), {}};
    return Out;
  };
  if (Bytes.substr(0, 2) == "\xFF\xFE") return Utf16(Bytes.substr(2), true, TSkinEncoding::Utf16LeMark);
  if (Bytes.substr(0, 2) == "\xFE\xFF") return Utf16(Bytes.substr(2), false, TSkinEncoding::Utf16BeMark);
  const bool Marked = Bytes.substr(0, 3) == "\xEF\xBB\xBF";
  if (Marked) Bytes.remove_prefix(3);
  if (!Marked && Bytes.find('\0') != std::string_view::npos) {
    bool Little = true;
    if (LooksLikeUtf16(Bytes, Little))
      return Utf16(Bytes, Little, Little ? TSkinEncoding::Utf16Le : TSkinEncoding::Utf16Be);
    return Fail("it holds NUL bytes, as no text file does: an image or another binary file?");
  }
  // UTF-8 is what comes back unchanged through a round trip.
  std::u16string Text = FromUtf8(Bytes);
  if (ToUtf8(Text) == Bytes) {
    const bool Ascii = std::all_of(Bytes.begin(), Bytes.end(), [](char C) { return (C & 0x80) == 0; });
    Out = {true,
           Marked  ? TSkinEncoding::Utf8Mark
           : Ascii ? TSkinEncoding::Ascii
                   : TSkinEncoding::Utf8,
           std::move(Text),
           {}};
    return Out;
  }
  if (Marked) return Fail("UTF-8 by its mark, but bytes in it are not UTF-8");
  if (!Ansi || !Ansi(Bytes, Text)) return Fail("it is neither UTF-8 nor text in the system's ANSI code page");
  Out = {true, TSkinEncoding::Ansi, std::move(Text), {}};
  return Out;
}

const std::vector<std::u16string_view>& KnownLabelCodes() {
  static const std::vector<std::u16string_view> Codes = [] {
    std::vector<std::u16string_view> All;
    for (const TParamInfo& P : cParams) All.insert(All.end(), {P.ValueCode, P.TitleCode, P.UnitCode});
    for (const TSlotTexts& S : cSlots) All.insert(All.end(), {S.ValueCode, S.NameCode, S.TitleCode, S.UnitCode});
    return All;
  }();
  return Codes;
}

const std::vector<std::u16string_view>& KnownCommands() {
  static const std::vector<std::u16string_view> Commands = [] {
    std::vector<std::u16string_view> All = {u"ce_open", u"ce_close"};
    for (const TSlotTexts& S : cSlots) All.push_back(S.StepCommand);
    return All;
  }();
  return Commands;
}

const std::vector<std::u16string_view>& KnownCodes() {
  static const std::vector<std::u16string_view> Codes = [] {
    std::vector<std::u16string_view> All = KnownLabelCodes();
    All.insert(All.end(), KnownCommands().begin(), KnownCommands().end());
    return All;
  }();
  return Codes;
}

bool IsKnownCode(std::u16string_view Word) {
  const std::u16string Lower = Lowered(Word);
  return FindLabelCode(Lower) != nullptr ||
         std::find(KnownCodes().begin(), KnownCodes().end(), Lower) != KnownCodes().end();
}

std::size_t EditDistance(std::u16string_view A, std::u16string_view B) {
  std::vector<std::size_t> Row(B.size() + 1);
  for (std::size_t J = 0; J <= B.size(); ++J) Row[J] = J;
  for (std::size_t I = 1; I <= A.size(); ++I) {
    std::size_t Diagonal = Row[0];
    Row[0] = I;
    for (std::size_t J = 1; J <= B.size(); ++J) {
      const std::size_t Up = Row[J];
      Row[J] = std::min({Row[J] + 1, Row[J - 1] + 1, Diagonal + (A[I - 1] == B[J - 1] ? 0 : 1)});
      Diagonal = Up;
    }
  }
  return Row[B.size()];
}

std::u16string_view Closest(std::u16string_view Text, const std::vector<std::u16string_view>& Candidates) {
  const std::u16string Lower = Lowered(Text);
  std::u16string_view Best;
  std::size_t BestDistance = std::min<std::size_t>(2, Lower.size() / 3) + 1;
  for (const std::u16string_view Candidate : Candidates) {
    const std::size_t D = EditDistance(Lower, Candidate);
    if (D < BestDistance) Best = Candidate, BestDistance = D;
  }
  return Best;
}

std::string LetterName(char16_t C) {
  if ((C >= u'a' && C <= u'z') || (C >= u'A' && C <= u'Z')) return std::string("Latin ") + static_cast<char>(C);
  const TCyrillicLookAlike* L = CyrillicLookAlike(C);
  return L ? L->Name : "";
}

TCodeScan ScanCodes(std::u16string_view Text) {
  TCodeScan Scan;
  int Line = 1;
  for (std::size_t I = 0; I < Text.size();) {
    if (Text[I] == u'\n') ++Line;
    if (!IsWordChar(Text[I])) {
      ++I;
      continue;
    }
    std::size_t End = I;
    while (End < Text.size() && IsWordChar(Text[End])) ++End;
    const std::u16string_view Word = Text.substr(I, End - I);
    I = End;
    // A code's prefix, in any case, or in letters that look like it.
    if (Word.size() < 3 || Shape(Word[0]) != u'c' || Shape(Word[1]) != u'e' || Word[2] != u'_') continue;
    ++Scan.Codes;
    if (IsKnownCode(Word)) continue;
    TCodeFinding Finding{Line, std::u16string(Word), {}, {}, {}};
    Finding.LooksLike = LookAlikeOf(Word, Finding.Differences);
    if (Finding.LooksLike.empty()) Finding.Nearest = Closest(Word, KnownCodes());
    Scan.Unknown.push_back(std::move(Finding));
  }
  return Scan;
}

}  // namespace zelm::tools
