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

// A text written in the encoding it was read in (one without half a surrogate pair).
std::string Written(const TDecodedSkin& Read, const TAnsiCodePages& Ansi) {
  const std::string Utf8 = ToUtf8(Read.Text);
  std::string Bytes;
  switch (Read.Encoding) {
    case TSkinEncoding::Ascii:
    case TSkinEncoding::Utf8: return Utf8;
    case TSkinEncoding::Utf8Mark: return "\xEF\xBB\xBF" + Utf8;
    case TSkinEncoding::Utf16LeMark:
    case TSkinEncoding::Utf16BeMark: return Utf16(Utf8, Read.Encoding == TSkinEncoding::Utf16LeMark);
    case TSkinEncoding::Utf16Le:
    case TSkinEncoding::Utf16Be: return Utf16(Utf8, Read.Encoding == TSkinEncoding::Utf16Le).substr(2);
    case TSkinEncoding::Ansi: return Ansi.Encode(Ansi.System, Read.Text, Bytes) ? Bytes : "(not in the code page)";
  }
  return {};
}

// Edits between two texts, the textbook way.
std::size_t Edits(std::u16string_view A, std::u16string_view B) {
  std::vector<std::size_t> Row(B.size() + 1), Next(Row.size());
  for (std::size_t J = 0; J <= B.size(); ++J) Row[J] = J;
  for (std::size_t I = 1; I <= A.size(); Row.swap(Next), ++I)
    for (std::size_t J = 0; J <= B.size(); ++J)
      Next[J] = J == 0 ? I : std::min({Row[J] + 1, Next[J - 1] + 1, Row[J - 1] + (A[I - 1] == B[J - 1] ? 0 : 1)});
  return Row.back();
}

std::size_t Below(std::mt19937& Random, std::size_t N) { return N == 0 ? 0 : Random() % N; }

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
  const std::string Marks[] = {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF", std::string("\0\0\xFE\xFF", 4), "+/v8"};
  const std::map<TFileVerdict, int> cExitCodes = {{TFileVerdict::AllKnown, 0},
                                                  {TFileVerdict::NoCode, 11},
                                                  {TFileVerdict::Empty, 12},
                                                  {TFileVerdict::Unknown, 13},
                                                  {TFileVerdict::Undecodable, 16}};
  std::map<TFileVerdict, int> Seen;
  for (unsigned Seed = 0; Seed < 3000; ++Seed) {
    std::mt19937 R(Seed);
    std::string Bytes = Seeds[Seed % std::size(Seeds)];
    const std::size_t At = Below(R, Bytes.size() + 1);
    switch (Seed / std::size(Seeds) % 8) {
      case 0: Bytes.resize(At); break;
      case 1:
        for (std::size_t N = 1 + Below(R, 4); N > 0; --N) {
          char& B = Bytes[Below(R, Bytes.size())];
          B = static_cast<char>(static_cast<unsigned char>(B) ^ (1U << Below(R, 8)));
        }
        break;
      case 2:
        Bytes.resize(Below(R, 64));
        for (char& B : Bytes) B = static_cast<char>(R());
        break;
      case 3: Bytes = Marks[Below(R, std::size(Marks))] + std::string(Below(R, 3), static_cast<char>(R())); break;
      case 4: Bytes.insert(At, 1, static_cast<char>(R())); break;
      case 5: Bytes.insert(At / 2 * 2, R() % 2 ? "\x3D\xD8" : "\xD8\x3D"); break;
      case 6: Bytes.insert(At, std::string(1 + Below(R, 3), '\0')); break;
      case 7: {
        // A huge line: one long word, or many near a code.
        std::string Long = "ce_" + std::string(4000 + Below(R, 40000), 'q');
        if (R() % 2)
          for (Long.clear(); Long.size() < 4000;) Long += "ce_spe" + std::string(1 + Below(R, 3), 'e') + "d ";
        Bytes.insert(At, Long);
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
    ASSERT_EQ(Check.Verdict == TFileVerdict::Undecodable, !Read.Decoded);
    if (!Read.Decoded) {
      EXPECT_EQ(Lines, std::vector<std::string>{"f: cannot be decoded: " + Read.Why});
      continue;
    }
    EXPECT_EQ(Check.Encoding, Read.Encoding);
    EXPECT_EQ(FromUtf8(ToUtf8(Read.Text)), Read.Text) << "half of a surrogate pair";
    ASSERT_EQ(Written(Read, Ansi), Bytes);
    EXPECT_EQ(Read.Text.find(u'\0'), std::u16string::npos);
    EXPECT_EQ(Check.Verdict == TFileVerdict::Empty, Read.Text.empty());
    EXPECT_EQ(Check.Verdict == TFileVerdict::NoCode, !Read.Text.empty() && Check.Scan.Codes == 0);
    EXPECT_LE(Check.Scan.Unknown.size(), static_cast<std::size_t>(Check.Scan.Codes));
    for (const TCodeFinding& F : Check.Scan.Unknown) {
      EXPECT_TRUE(F.Line >= 1 && F.Line <= Check.Scan.Lines) << F.Line;
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
    std::mt19937 R(Seed);
    std::vector<std::u16string_view> Candidates = Codes;
    if (Seed % 2 != 0) {
      Candidates.resize(1 + Below(R, 40));
      for (std::u16string_view& C : Candidates) C = Codes[Below(R, Codes.size())];
    }
    std::u16string Word(Candidates[Below(R, Candidates.size())]), Lower;
    for (std::size_t N = Below(R, 5); N > 0; --N) {
      const std::size_t At = Below(R, Word.size());
      const char16_t C = Letters[Below(R, Letters.size())];
      R() % 2 ? Word.insert(At, 1, C) : Word.replace(At, 1, R() % 2 ? 1 : 0, C);
    }
    for (const char16_t C : Word) Lower += C >= u'A' && C <= u'Z' ? static_cast<char16_t>(C + 32) : C;
    std::u16string_view Nearest;
    std::size_t Best = std::min<std::size_t>(2, Word.size() / 3) + 1;
    for (const std::u16string_view Code : Candidates)
      if (const std::size_t D = Edits(Lower, Code); D < Best) Nearest = Code, Best = D;
    EXPECT_EQ(Closest(Word, Candidates), Nearest) << ToUtf8(Word);
  }
}

}  // namespace
}  // namespace zelm::tools
