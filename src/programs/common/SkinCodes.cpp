#include "programs/common/SkinCodes.h"

#include <algorithm>
#include <cstdint>

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
// least one pair in four, and hardly any on the other side. Answers whether, and which;
// a last odd byte is left out of the count.
bool LooksLikeUtf16(std::string_view Bytes, bool& Little) {
  std::size_t Low = 0, High = 0;  // NULs in the first and the second byte of a pair
  for (std::size_t I = 0; I + 1 < Bytes.size(); I += 2) {
    Low += Bytes[I] == '\0';
    High += Bytes[I + 1] == '\0';
  }
  const std::size_t Pairs = Bytes.size() / 2;
  Little = High > Low;
  const std::size_t Most = std::max(Low, High), Fewest = std::min(Low, High);
  return Most > 0 && Most * 4 >= Pairs && Fewest * 16 <= Most;
}

// A line ends with CR LF (at its LF), LF, or CR alone.
template <class TChar>
bool EndsLine(std::basic_string_view<TChar> Text, std::size_t I) {
  return Text[I] == TChar('\n') || (Text[I] == TChar('\r') && (I + 1 == Text.size() || Text[I + 1] != TChar('\n')));
}

// The line, from 1, that the character at Position stands on.
template <class TChar>
std::size_t LineAt(std::basic_string_view<TChar> Text, std::size_t Position) {
  std::size_t Line = 1;
  for (std::size_t I = 0; I < Position; ++I) Line += EndsLine(Text, I) ? 1U : 0U;
  return Line;
}

// Value in Digits hexadecimal digits.
std::string HexDigits(unsigned Value, int Digits) {
  std::string Text;
  for (int Shift = 4 * (Digits - 1); Shift >= 0; Shift -= 4) Text += "0123456789ABCDEF"[(Value >> Shift) & 15];
  return Text;
}

// Bytes as hexadecimal pairs, "FF FE".
std::string Hex(std::string_view Bytes) {
  std::string Text;
  for (const char B : Bytes) Text += (Text.empty() ? "" : " ") + HexDigits(static_cast<unsigned char>(B), 2);
  return Text;
}

// The byte-order marks of encodings that RideRunner does not read, UTF-32's first (its
// little-endian mark begins as UTF-16's).
struct TForeignMark {
  std::string_view Bytes;
  const char* Encoding;
};
constexpr TForeignMark cForeignMarks[] = {
    {std::string_view("\xFF\xFE\0\0", 4), "UTF-32 LE"},
    {std::string_view("\0\0\xFE\xFF", 4), "UTF-32 BE"},
    {"+/v8", "UTF-7"},
    {"+/v9", "UTF-7"},
    {"+/v+", "UTF-7"},
    {"+/v/", "UTF-7"},
    {"\xF7\x64\x4C", "UTF-1"},
    {"\xDD\x73\x66\x73", "UTF-EBCDIC"},
    {"\x0E\xFE\xFF", "SCSU"},
    {"\xFB\xEE\x28", "BOCU-1"},
    {"\x84\x31\x95\x33", "GB 18030"},
};

// Windows' ANSI code pages, the single-byte ones first.
struct TCodePage {
  unsigned Number;
  const char* Name;
};
constexpr TCodePage cAnsiCodePages[] = {{1250, "Central European"},
                                        {1251, "Cyrillic"},
                                        {1252, "Western European"},
                                        {1253, "Greek"},
                                        {1254, "Turkish"},
                                        {1255, "Hebrew"},
                                        {1256, "Arabic"},
                                        {1257, "Baltic"},
                                        {1258, "Vietnamese"},
                                        {874, "Thai"},
                                        {932, "Japanese"},
                                        {936, "Simplified Chinese"},
                                        {949, "Korean"},
                                        {950, "Traditional Chinese"}};

bool IsSurrogate(char16_t C) { return C >= 0xD800 && C < 0xE000; }

// Where Text holds half of a surrogate pair without its other half; npos: nowhere.
std::size_t LoneSurrogate(std::u16string_view Text) {
  for (std::size_t I = 0; I < Text.size(); ++I) {
    if (!IsSurrogate(Text[I])) continue;
    if (Text[I] >= 0xDC00 || I + 1 == Text.size() || Text[I + 1] < 0xDC00 || Text[I + 1] >= 0xE000) return I;
    ++I;
  }
  return std::u16string_view::npos;
}

// Every known code, made ready for the nearest one to a word.
const TCandidates& NearCodes() {
  static const TCandidates Codes(KnownCodes());
  return Codes;
}

// The known code Word is, as ZelmKvel takes it; empty: none.
std::u16string_view KnownCodeOf(std::u16string_view Word) {
  const TLoweredCode Lower(Word);
  if (Lower.TooLong()) return {};
  const auto Found = std::find(KnownCodes().begin(), KnownCodes().end(), Lower.View());
  return Found == KnownCodes().end() ? std::u16string_view() : *Found;
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

std::string CodePageName(unsigned CodePage) {
  for (const TCodePage& P : cAnsiCodePages)
    if (P.Number == CodePage) return std::to_string(CodePage) + " (" + P.Name + ")";
  return std::to_string(CodePage);
}

TDecodedSkin DecodeSkinText(std::string_view Bytes, const TAnsiCodePages& Ansi) {
  TDecodedSkin Out;
  const auto Fail = [&Out](std::string Why) {
    Out = {};
    Out.Why = std::move(Why);
    return Out;
  };
  // The text as read, refused when it holds a NUL character, as no text does.
  const auto Read = [&](TSkinEncoding Encoding, std::u16string Text, const std::string& Taken) {
    if (const std::size_t Nul = Text.find(u'\0'); Nul != std::u16string::npos)
      return Fail(Taken + ", but line " + std::to_string(LineAt(std::u16string_view(Text), Nul)) +
                  " holds a NUL character, as no text does");
    Out = {true, Encoding, std::move(Text), {}};
    return Out;
  };
  const auto Utf16 = [&](std::string_view Units, bool Little, bool Marked) {
    const std::string Taken =
        std::string(Little ? "UTF-16 LE" : "UTF-16 BE") + (Marked ? " by its byte-order mark" : " by its NUL bytes");
    std::u16string Text = FromUtf16(Units, Little);
    if (Marked) {
      // The mark says one thing, the bytes after it another: NULs on the other side of the
      // pairs, or 8-bit text, which read as UTF-16 holds no ASCII character at all.
      bool Other = Little;
      if (LooksLikeUtf16(Units, Other) && Other != Little)
        return Fail(Taken + ", but the bytes after it are " + (Other ? "UTF-16 LE" : "UTF-16 BE"));
      if (!Text.empty() && std::none_of(Text.begin(), Text.end(), [](char16_t C) { return C < 0x80; }))
        return Fail(Taken + ", but not one character after it is ASCII: 8-bit text behind a wrong mark?");
    }
    if (Units.size() % 2 != 0) return Fail(Taken + ", but of an odd number of bytes");
    if (const std::size_t Half = LoneSurrogate(Text); Half != std::u16string::npos)
      return Fail(Taken + ", but line " + std::to_string(LineAt(std::u16string_view(Text), Half)) +
                  " holds half of a surrogate pair (" + CodePoint(Text[Half]) + ") without its other half");
    return Read(Little ? (Marked ? TSkinEncoding::Utf16LeMark : TSkinEncoding::Utf16Le)
                       : (Marked ? TSkinEncoding::Utf16BeMark : TSkinEncoding::Utf16Be),
                std::move(Text), Taken);
  };
  for (const TForeignMark& M : cForeignMarks)
    if (Bytes.substr(0, M.Bytes.size()) == M.Bytes)
      return Fail("it begins with the byte-order mark of " + std::string(M.Encoding) + " (" + Hex(M.Bytes) +
                  "), which RideRunner does not read");
  if (Bytes.substr(0, 2) == "\xFF\xFE") return Utf16(Bytes.substr(2), true, true);
  if (Bytes.substr(0, 2) == "\xFE\xFF") return Utf16(Bytes.substr(2), false, true);
  const bool Marked = Bytes.substr(0, 3) == "\xEF\xBB\xBF";
  if (Marked) Bytes.remove_prefix(3);
  bool Little = true;
  if (Bytes.find('\0') != std::string_view::npos && LooksLikeUtf16(Bytes, Little)) {
    if (!Marked) return Utf16(Bytes, Little, false);
    return Fail(std::string("UTF-8 by its byte-order mark, but the bytes after it are UTF-16 ") +
                (Little ? "LE" : "BE"));
  }
  if (!Marked && Bytes.find('\0') != std::string_view::npos)
    return Fail("it holds NUL bytes, as no text file does: an image or another binary file?");
  // UTF-8 is what comes back unchanged through a round trip; where it first does not, a
  // byte is no UTF-8.
  std::u16string Text = FromUtf8(Bytes);
  const std::string Again = ToUtf8(Text);
  if (Again == Bytes) {
    const bool Ascii = std::all_of(Bytes.begin(), Bytes.end(), [](char C) { return (C & 0x80) == 0; });
    return Read(Marked  ? TSkinEncoding::Utf8Mark
                : Ascii ? TSkinEncoding::Ascii
                        : TSkinEncoding::Utf8,
                std::move(Text), Marked ? "UTF-8 by its byte-order mark" : "UTF-8");
  }
  if (Marked) {
    const std::size_t Bad = static_cast<std::size_t>(
        std::mismatch(Bytes.begin(), Bytes.end(), Again.begin(), Again.end()).first - Bytes.begin());
    return Fail("UTF-8 by its byte-order mark, but bytes on line " + std::to_string(LineAt(Bytes, Bad)) +
                " are not UTF-8");
  }
  if (!Ansi.Decode || !Ansi.Decode(Ansi.System, Bytes, Text))
    return Fail("it is neither UTF-8 nor text in the system's ANSI code page, " + CodePageName(Ansi.System));
  return Read(TSkinEncoding::Ansi, std::move(Text), "read in the system's ANSI code page");
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
  const TLoweredCode Lower(Word);
  if (Lower.TooLong()) return false;
  return Lower.Find() != nullptr ||
         std::find(KnownCommands().begin(), KnownCommands().end(), Lower.View()) != KnownCommands().end();
}

TCandidates::TCandidates(const std::vector<std::u16string_view>& Candidates) {
  for (std::size_t I = 0; I < Candidates.size(); ++I) {
    FEntries.push_back({Candidates[I], I, 0});
    FLongest = std::max(FLongest, Candidates[I].size());
  }
  std::sort(FEntries.begin(), FEntries.end(), [](const TEntry& A, const TEntry& B) { return A.Text < B.Text; });
  for (std::size_t I = 1; I < FEntries.size(); ++I) {
    const std::u16string_view A = FEntries[I - 1].Text, B = FEntries[I].Text;
    FEntries[I].Shared =
        static_cast<std::size_t>(std::mismatch(A.begin(), A.end(), B.begin(), B.end()).first - A.begin());
  }
}

std::u16string_view TCandidates::Closest(std::u16string_view Text) const {
  // The most edits that count as near; a text longer than every candidate by more is
  // near none, and is not even lowered.
  std::size_t Most = std::min<std::size_t>(2, Text.size() / 3);
  if (Text.size() > FLongest + Most) return {};
  const std::u16string Lower = Lowered(Text);
  const std::size_t Width = Lower.size() + 1;
  // Rows[I]: the edits from each beginning of the text to the candidate's first I
  // characters, worked out only within the most of the diagonal (a count outside it is
  // past the most; its edges hold the most and one more). Valid rows stand for the
  // last candidate worked on; from a row whose every count is past the most, no
  // candidate that begins so comes near.
  std::vector<std::size_t> Rows((FLongest + 1) * Width, FLongest + Width);
  for (std::size_t J = 0; J < Width; ++J) Rows[J] = J;
  std::size_t Valid = 0, Dead = SIZE_MAX;
  const TEntry* Best = nullptr;
  for (const TEntry& E : FEntries) {
    Valid = std::min(Valid, E.Shared);
    if (Dead > Valid) Dead = SIZE_MAX;
    const std::size_t Apart =
        E.Text.size() > Lower.size() ? E.Text.size() - Lower.size() : Lower.size() - E.Text.size();
    if (Dead != SIZE_MAX || Apart > Most) continue;
    for (; Valid < E.Text.size() && Dead == SIZE_MAX; ++Valid) {
      const std::size_t* Up = &Rows[Valid * Width];
      std::size_t* Row = &Rows[(Valid + 1) * Width];
      const std::size_t I = Valid + 1, From = I > Most ? I - Most : 1, To = std::min(Lower.size(), I + Most);
      Row[From - 1] = From == 1 ? I : Most + 1;
      if (To + 1 < Width) Row[To + 1] = Most + 1;
      std::size_t Least = Row[From - 1];
      for (std::size_t J = From; J <= To; ++J) {
        Row[J] = std::min({Up[J] + 1, Row[J - 1] + 1, Up[J - 1] + (E.Text[Valid] == Lower[J - 1] ? 0 : 1)});
        Least = std::min(Least, Row[J]);
      }
      if (Least > Most) Dead = I;
    }
    if (Dead != SIZE_MAX) continue;
    // Nearer, or as near and given before.
    const std::size_t Edits = Rows[Valid * Width + Lower.size()];
    if (Edits < Most || (Edits == Most && (Best == nullptr || E.Given < Best->Given))) Best = &E, Most = Edits;
  }
  return Best ? Best->Text : std::u16string_view();
}

std::u16string_view Closest(std::u16string_view Text, const std::vector<std::u16string_view>& Candidates) {
  return TCandidates(Candidates).Closest(Text);
}

std::string LetterName(char16_t C) {
  if ((C >= u'a' && C <= u'z') || (C >= u'A' && C <= u'Z')) return std::string("Latin ") + static_cast<char>(C);
  const TCyrillicLookAlike* L = CyrillicLookAlike(C);
  return L ? L->Name : "";
}

std::string CodePoint(char16_t C) { return "U+" + HexDigits(C, 4); }

TCodeScan ScanCodes(std::u16string_view Text) {
  TCodeScan Scan;
  int Line = 1;
  for (std::size_t I = 0; I < Text.size();) {
    if (!IsWordChar(Text[I])) {
      Line += EndsLine(Text, I) ? 1 : 0;
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
    TCodeFinding Finding{Line, std::u16string(Word), {}, {}, {}, 0, {}};
    Finding.LooksLike = LookAlikeOf(Word, Finding.Differences);
    if (Finding.LooksLike.empty()) Finding.Nearest = NearCodes().Closest(Word);
    Scan.Unknown.push_back(std::move(Finding));
  }
  // The last line counts without its end; an end is no line after it.
  Scan.Lines = Text.empty() ? 0 : Line - (EndsLine(Text, Text.size() - 1) ? 1 : 0);
  return Scan;
}

void FindCodesInOtherCodePages(TCodeScan& Scan, const TAnsiCodePages& Ansi) {
  if (!Ansi.Decode || !Ansi.Encode) return;
  for (TCodeFinding& F : Scan.Unknown) {
    // ASCII reads alike in every ANSI code page; a word longer than a code in two bytes a
    // character is none in any.
    if (F.Word.size() > 2 * cMaxLabelCodeLength ||
        std::all_of(F.Word.begin(), F.Word.end(), [](char16_t C) { return C < 0x80; }))
      continue;
    std::string Bytes;
    if (!Ansi.Encode(Ansi.System, F.Word, Bytes)) continue;
    for (const TCodePage& P : cAnsiCodePages) {
      std::u16string There;
      if (P.Number == Ansi.System || !Ansi.Decode(P.Number, Bytes, There)) continue;
      if (const std::u16string_view Code = KnownCodeOf(There); !Code.empty()) {
        F.OtherCodePage = P.Number, F.CodeThere = Code;
        break;
      }
    }
  }
}

}  // namespace zelm::tools
