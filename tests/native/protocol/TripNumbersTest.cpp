#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core/protocol/Protocol.h"
#include "core/protocol/TripNumbers.h"

namespace zelm {
namespace {

// Written into a string that held a longer text: what it held must not show through.
std::u16string Show(std::u16string_view Text, TValueForm Form, char16_t Separator = u'.') {
  std::u16string Out = u"previous text, longer than any number";
  FormatTripNumber(ReadTripNumber(Text, Separator), Form, Separator, Out);
  return Out;
}

TEST(TripNumbers, FixedFormsRoundHalfAwayFromZeroToSixDigits) {
  struct {
    std::u16string_view In;
    TValueForm Form;
    std::u16string_view Out;
  } Cases[] = {
      {u"87.5", TValueForm::Fixed0, u"88"},
      {u"86.5", TValueForm::Fixed0, u"87"},
      {u"-86.5", TValueForm::Fixed0, u"-87"},
      {u"1.5", TValueForm::Fixed3, u"1.500"},
      {u"1234.5678", TValueForm::Fixed3, u"1234.570"},
      {u"0.15", TValueForm::Fixed1, u"0.2"},
      {u"0.25", TValueForm::Fixed1, u"0.3"},
      {u"-0.25", TValueForm::Fixed1, u"-0.3"},
      {u"9.96", TValueForm::Fixed1, u"10.0"},
      {u"999999.5", TValueForm::Fixed0, u"1E6"},
      {u"0.05", TValueForm::Fixed1, u"0.1"},
      {u"0.0004", TValueForm::Fixed3, u"0.000"},
      {u"0.0005", TValueForm::Fixed3, u"0.001"},
      {u"12", TValueForm::Fixed1, u"12.0"},
      {u"0.123456789", TValueForm::Fixed3, u"0.123"},
      {u"123456.7", TValueForm::Fixed1, u"123457.0"},
  };
  for (const auto& C : Cases) EXPECT_EQ(Show(C.In, C.Form), C.Out);
}

TEST(TripNumbers, ZeroAndValuesThatRoundToZeroHaveNoMinus) {
  EXPECT_EQ(Show(u"-0.04", TValueForm::Fixed1), u"0.0");
  EXPECT_EQ(Show(u"-0", TValueForm::Fixed0), u"0");
  EXPECT_EQ(Show(u"-0.0", TValueForm::General), u"0");
  EXPECT_EQ(Show(u"-0.0001", TValueForm::Fixed3), u"0.000");
  EXPECT_EQ(Show(u"0", TValueForm::Fixed3), u"0.000");
}

TEST(TripNumbers, LargeFixedValuesFallBackToTheExponentForm) {
  EXPECT_EQ(Show(u"1234567.8", TValueForm::Fixed1), u"1.23457E6");
  EXPECT_EQ(Show(u"1234567.8", TValueForm::Fixed3), u"1.23457E006");
  EXPECT_EQ(Show(u"1234567.8", TValueForm::Fixed0), u"1.23457E6");
  EXPECT_EQ(Show(u"-20000000", TValueForm::Fixed1), u"-2E7");
}

TEST(TripNumbers, GeneralFormTrimsZerosAndSwitchesToExponents) {
  struct {
    std::u16string_view In, Out;
  } Cases[] = {
      {u"12.0", u"12"},       {u"120.25", u"120.25"},       {u"1234.56789", u"1234.57"},
      {u"0.0001", u"0.0001"}, {u"0.00005", u"5E-5"},        {u"1000000", u"1E6"},
      {u"999999", u"999999"}, {u"999999.7", u"1E6"},        {u"-0.00012345678", u"-0.000123457"},
      {u"1.5e10", u"1.5E10"}, {u"123456789", u"1.23457E8"}, {u"0.000099999", u"9.9999E-5"},
      {u"1e-300", u"1E-300"},
  };
  for (const auto& C : Cases) EXPECT_EQ(Show(C.In, TValueForm::General), C.Out);
}

TEST(TripNumbers, ReadingAcceptsTheNumberGrammarAndNothingElse) {
  EXPECT_DOUBLE_EQ(ReadTripNumber(u"  +12.5  ", u'.'), 12.5);
  EXPECT_DOUBLE_EQ(ReadTripNumber(u"-3", u'.'), -3);
  EXPECT_DOUBLE_EQ(ReadTripNumber(u"1e3", u'.'), 1000);
  EXPECT_DOUBLE_EQ(ReadTripNumber(u"1e+3", u'.'), 1000);
  EXPECT_DOUBLE_EQ(ReadTripNumber(u"2.5E-1", u'.'), 0.25);
  EXPECT_DOUBLE_EQ(ReadTripNumber(u".5", u'.'), 0.5);
  EXPECT_DOUBLE_EQ(ReadTripNumber(u"5.", u'.'), 5);
  for (auto Bad : {u"", u"abc", u"1.2.3", u"1,5", u"12 km", u"1e", u"1e+", u"--1", u".", u"e5", u"1 2", u"0x10", u"inf",
                   u"nan", u"1e999"})
    EXPECT_EQ(ReadTripNumber(Bad, u'.'), 0.0);
}

// What a trip label shows for a text, written from the text's own digits and through
// its double alike: an exponent's plus sign is read, and a text without a digit is no
// number (it shows as zero).
TEST(TripNumbers, ALabelShowsTheSameFromTheTextAndFromItsDouble) {
  struct {
    std::u16string_view In;
    TValueForm Form;
    std::u16string_view Out;
  } Cases[] = {
      {u"1e+3", TValueForm::General, u"1000"}, {u"2.5E+2", TValueForm::Fixed1, u"250.0"},
      {u"-", TValueForm::Fixed1, u"0.0"},      {u".", TValueForm::General, u"0"},
      {u"+", TValueForm::Fixed0, u"0"},        {u"e5", TValueForm::Fixed3, u"0.000"},
      {u"-.e5", TValueForm::General, u"0"},
  };
  std::u16string ByText;
  for (const auto& C : Cases) {
    FormatTripText(C.In, C.Form, u'.', ByText);
    EXPECT_EQ(ByText, C.Out) << std::string(C.In.begin(), C.In.end());
    EXPECT_EQ(Show(C.In, C.Form), C.Out) << std::string(C.In.begin(), C.In.end());
  }
}

TEST(TripNumbers, TheLocaleSeparatorServesForReadingAndWriting) {
  EXPECT_EQ(Show(u"1,5", TValueForm::Fixed3, u','), u"1,500");
  EXPECT_EQ(Show(u"1.5", TValueForm::Fixed1, u','), u"0,0");  // a full stop is no number there
  EXPECT_EQ(Show(u"120,25", TValueForm::General, u','), u"120,25");
  EXPECT_EQ(Show(u"0,00005", TValueForm::General, u','), u"5E-5");
  EXPECT_EQ(Show(u"1234567,8", TValueForm::Fixed1, u','), u"1,23457E6");
}

// A received text is written from its own digits where they suffice: it must give
// exactly what reading it as a double and writing that does, for any text.
TEST(TripNumbers, WritingTheTextAgreesWithWritingItsDouble) {
  std::mt19937 Random(11);
  auto Pick = [&](unsigned N) { return static_cast<unsigned>(Random() % N); };
  const TValueForm Forms[] = {TValueForm::Fixed0, TValueForm::Fixed1, TValueForm::Fixed3, TValueForm::General};
  std::u16string ByText, ByDouble;
  for (int Case = 0; Case < 200000; ++Case) {
    std::u16string Text;
    if (Pick(8) == 0) Text += u" ";
    if (Pick(3) == 0) Text += Pick(2) ? u"-" : u"+";
    const unsigned Digits = 1 + Pick(Pick(4) == 0 ? 22 : 9);
    const unsigned Point = Pick(Digits + 2);
    for (unsigned D = 0; D < Digits; ++D) {
      if (D == Point) Text += u'.';
      Text += static_cast<char16_t>(u'0' + (Pick(4) == 0 ? 0 : Pick(10)));
    }
    if (Pick(4) == 0)
      Text += (Pick(2) ? u"e" : u"E") + std::u16string(Pick(3) == 0 ? u"-" : u"") + [&] {
        std::u16string E;
        for (char C : std::to_string(Pick(3) == 0 ? Pick(400) : Pick(12))) E += char16_t(C);
        return E;
      }();
    if (Pick(50) == 0) Text += u"x";  // unreadable: reads as 0
    // Texts on a rounding edge: six digits, then a 4 and nines, or a 5 and zeros.
    if (Pick(6) == 0) {
      Text = u"0.";
      for (int D = 0; D < 6; ++D) Text += static_cast<char16_t>(u'1' + Pick(9));
      const bool Up = Pick(2) != 0;
      Text += Up ? u'5' : u'4';
      for (unsigned D = 0, Tail = 6 + Pick(8); D < Tail; ++D) Text += Up ? u'0' : u'9';
    }
    const TValueForm Form = Forms[Pick(4)];
    FormatTripText(Text, Form, u'.', ByText);
    FormatTripNumber(ReadTripNumber(Text, u'.'), Form, u'.', ByDouble);
    ASSERT_EQ(ByText, ByDouble) << std::string(Text.begin(), Text.end()) << ", form " << static_cast<int>(Form);
  }
}

}  // namespace
}  // namespace zelm
