// Skin files as they come, generated from fixed seeds: cut, bit-flipped, random bytes,
// marks alone, UTF-16 of an odd length or with half a surrogate pair, huge lines, NULs.
// Each ends with exactly one verdict and its exit code, and a file judged was read in
// full: its text, written again in the encoding it was read in, is every byte of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "programs/check/CodesReport.h"
#include "programs/common/SkinCodes.h"
#include "programs/common/Utf.h"
#include "tests/support/native/ToolsTestSupport.h"

namespace zelm::tools {
namespace {

// The bytes of a text in the encoding it was read in.
std::string Written(const TDecodedSkin& Read, const TAnsiCodePages& Ansi) {
  std::string Bytes;
  const auto Units = [&](const char* Mark, bool Little) {
    Bytes = Mark;
    for (const char16_t C : Read.Text) {
      const auto High = static_cast<char>(C >> 8), Low = static_cast<char>(C & 0xFF);
      Bytes += Little ? std::string{Low, High} : std::string{High, Low};
    }
    return Bytes;
  };
  switch (Read.Encoding) {
    case TSkinEncoding::Ascii:
    case TSkinEncoding::Utf8: return ToUtf8(Read.Text);
    case TSkinEncoding::Utf8Mark: return "\xEF\xBB\xBF" + ToUtf8(Read.Text);
    case TSkinEncoding::Utf16LeMark: return Units("\xFF\xFE", true);
    case TSkinEncoding::Utf16BeMark: return Units("\xFE\xFF", false);
    case TSkinEncoding::Utf16Le: return Units("", true);
    case TSkinEncoding::Utf16Be: return Units("", false);
    case TSkinEncoding::Ansi: return Ansi.Encode(Ansi.System, Read.Text, Bytes) ? Bytes : "(not in the code page)";
  }
  return {};
}

// Edits between two texts, the textbook way.
std::size_t Edits(std::u16string_view A, std::u16string_view B) {
  const std::size_t Width = B.size() + 1;
  std::vector<std::size_t> D((A.size() + 1) * Width);
  for (std::size_t I = 0; I <= A.size(); ++I)
    for (std::size_t J = 0; J <= B.size(); ++J)
      D[I * Width + J] = I == 0 || J == 0 ? I + J
                                          : std::min({D[(I - 1) * Width + J] + 1, D[I * Width + J - 1] + 1,
                                                      D[(I - 1) * Width + J - 1] + (A[I - 1] == B[J - 1] ? 0 : 1)});
  return D.back();
}

class TGenerator {
 public:
  explicit TGenerator(unsigned Seed) : FRandom(Seed) {}
  std::size_t Below(std::size_t N) { return N == 0 ? 0 : FRandom() % N; }
  char Byte() { return static_cast<char>(FRandom() & 0xFF); }

 private:
  std::mt19937 FRandom;
};

TEST(SkinCodesFuzz, EveryFileEndsWithOneVerdictAndNoneOnTextNotReadInFull) {
  const std::string Skin =
      "<skin>\r\n<label code=\"CE_Speed\"/> ce_spedd\rce_\xD1\x80orse_power ce_porse_power\n"
      "\xD0\xA2\xD0\xB5\xD0\xBA\xD1\x81\xD1\x82 ce_next_dinamic_label_3||ce_opne $ce_voltage_unit$\r\n";
  const std::string Seeds[] = {Skin,
                               "\xEF\xBB\xBF" + Skin,
                               Utf16(Skin, true),
                               Utf16(Skin, false),
                               Utf16(Skin, true).substr(2),
                               Utf16(Skin, false).substr(2),
                               "x=ce_\xF0orse_power ce_\xE9 \xC0\xC1\r\nce_spedd\n",
                               std::string("\xFF\xFE\0\0c\0\0\0e\0\0\0_\0\0\0", 16)};
  const std::string Marks[] = {
      "\xEF\xBB\xBF", "\xFF\xFE",        "\xFE\xFF", std::string("\xFF\xFE\0\0", 4), std::string("\0\0\xFE\xFF", 4),
      "+/v8",         "\x84\x31\x95\x33"};
  const std::map<TFileVerdict, int> cExitCodes = {{TFileVerdict::AllKnown, 0},
                                                  {TFileVerdict::NoCode, 11},
                                                  {TFileVerdict::Empty, 12},
                                                  {TFileVerdict::Unknown, 13},
                                                  {TFileVerdict::Undecodable, 16}};
  std::map<TFileVerdict, int> Seen;
  for (unsigned Seed = 0; Seed < 3000; ++Seed) {
    TGenerator G(Seed);
    std::string Bytes = Seeds[Seed % std::size(Seeds)];
    switch (Seed / std::size(Seeds) % 8) {
      case 0: Bytes.resize(G.Below(Bytes.size() + 1)); break;
      case 1:
        for (std::size_t N = 1 + G.Below(4); N > 0; --N) {
          char& B = Bytes[G.Below(Bytes.size())];
          B = static_cast<char>(static_cast<unsigned char>(B) ^ (1U << G.Below(8)));
        }
        break;
      case 2:
        Bytes.resize(G.Below(64));
        for (char& B : Bytes) B = G.Byte();
        break;
      case 3:
        Bytes = Marks[G.Below(std::size(Marks))];
        for (std::size_t N = G.Below(3); N > 0; --N) Bytes += G.Byte();
        break;
      case 4: Bytes.insert(G.Below(Bytes.size() + 1), 1, G.Byte()); break;
      case 5: Bytes.insert(G.Below(Bytes.size() / 2 + 1) * 2, G.Below(2) ? "\x3D\xD8" : "\xD8\x3D"); break;
      case 6: Bytes.insert(G.Below(Bytes.size() + 1), std::string(1 + G.Below(3), '\0')); break;
      case 7: {
        // A huge line: one long word, or many near a code.
        std::string Long = "ce_" + std::string(4000 + G.Below(40000), 'q');
        if (G.Below(2) == 0)
          for (Long.clear(); Long.size() < 4000;) Long += "ce_spe" + std::string(1 + G.Below(3), 'e') + "d ";
        Bytes.insert(G.Below(Bytes.size() + 1), Long);
        break;
      }
    }
    const TAnsiCodePages Ansi = FakeCodePages(Seed % 2 ? 1251 : 1252);
    const TFileCheck Check = CheckSkinBytes(Bytes, Ansi);
    const TDecodedSkin Read = DecodeSkinText(Bytes, Ansi);
    const std::vector<std::string> Lines = FileCheckLines("f", Check);
    SCOPED_TRACE(::testing::PrintToString(Bytes.substr(0, 200)) + " seed " + std::to_string(Seed));
    ++Seen[Check.Verdict];
    ASSERT_EQ(cExitCodes.count(Check.Verdict), 1u);
    EXPECT_EQ(CodesExitCode({Check.Verdict}), cExitCodes.at(Check.Verdict));
    // One verdict, last; before it only findings and their explanations.
    ASSERT_EQ(Lines.back().rfind("f: ", 0), 0u);
    for (std::size_t I = 0; I + 1 < Lines.size(); ++I)
      EXPECT_TRUE(Lines[I].rfind("f:", 0) == 0 ? Lines[I][2] != ' ' : Lines[I].rfind("  ", 0) == 0) << Lines[I];
    EXPECT_EQ(Check.Verdict == TFileVerdict::Undecodable, !Read.Decoded);
    if (!Read.Decoded) {
      EXPECT_EQ(Lines, std::vector<std::string>{"f: cannot be decoded: " + Read.Why});
      continue;
    }
    EXPECT_EQ(Check.Encoding, Read.Encoding);
    ASSERT_EQ(Written(Read, Ansi), Bytes);
    EXPECT_EQ(Read.Text.find(u'\0'), std::u16string::npos);
    EXPECT_EQ(FromUtf8(ToUtf8(Read.Text)), Read.Text) << "half of a surrogate pair";
    EXPECT_EQ(Check.Verdict == TFileVerdict::Empty, Read.Text.empty());
    EXPECT_EQ(Check.Verdict == TFileVerdict::NoCode, !Read.Text.empty() && Check.Scan.Codes == 0);
    EXPECT_LE(Check.Scan.Unknown.size(), static_cast<std::size_t>(Check.Scan.Codes));
    for (const TCodeFinding& F : Check.Scan.Unknown) {
      EXPECT_GE(F.Line, 1);
      EXPECT_LE(F.Line, Check.Scan.Lines);
      EXPECT_NE(Read.Text.find(F.Word), std::u16string::npos);
    }
  }
  // Each verdict came up, so none of the checks above went unused.
  EXPECT_EQ(Seen.size(), cExitCodes.size()) << ::testing::PrintToString(Seen);
}

// The nearest candidate is the first given of the nearest by the whole distance, for the
// known codes (which share long beginnings) and for lists of candidates in any order.
TEST(SkinCodesFuzz, TheNearestIsTheFirstGivenOfTheNearestByTheWholeDistance) {
  const std::u16string Letters = u"ace_pdsolA\u0440";
  const std::vector<std::u16string_view>& Codes = KnownCodes();
  for (unsigned Seed = 0; Seed < 600; ++Seed) {
    TGenerator G(Seed);
    std::vector<std::u16string_view> Candidates = Codes;
    if (Seed % 2 != 0) {
      Candidates.resize(1 + G.Below(40));
      for (std::u16string_view& C : Candidates) C = Codes[G.Below(Codes.size())];
    }
    std::u16string Word(Candidates[G.Below(Candidates.size())]);
    for (std::size_t N = G.Below(5); N > 0; --N) {
      const std::size_t At = G.Below(Word.size() + 1);
      const char16_t C = Letters[G.Below(Letters.size())];
      if (G.Below(3) == 0 && At < Word.size())
        Word.erase(At, 1);
      else if (G.Below(2) == 0)
        Word.insert(At, 1, C);
      else if (At < Word.size())
        Word[At] = C;
    }
    std::u16string Lower = Word;
    for (char16_t& C : Lower) C = C >= u'A' && C <= u'Z' ? static_cast<char16_t>(C + 32) : C;
    std::u16string_view Nearest;
    std::size_t Best = std::min<std::size_t>(2, Word.size() / 3) + 1;
    for (const std::u16string_view Code : Candidates)
      if (const std::size_t D = Edits(Lower, Code); D < Best) Nearest = Code, Best = D;
    EXPECT_EQ(Closest(Word, Candidates), Nearest) << ToUtf8(Word);
  }
}

}  // namespace
}  // namespace zelm::tools
