// Trip figures arrive as text and are stored as numbers in a fixed display form.
// Reading and writing use the user's decimal separator; the conversions themselves
// are the locale-free std::from_chars/std::to_chars, so nothing else of the locale leaks in.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "core/protocol/TripNumbers.h"

namespace zelm {
namespace {

constexpr int cSignificant = 6;

bool IsDigit(char16_t C) { return C >= u'0' && C <= u'9'; }

// A number rounded to its shown digits: Digits (no leading zero) times 10^(Exponent-i)
// for the i-th digit. No digits means zero.
struct TRounded {
  bool Negative = false;
  std::string Digits;
  int Exponent = 0;
};

// Rounds a number given by its first fifteen significant digits (All) and the power of
// ten of the first one half away from zero to Keep significant digits, or at the
// position given by Keep relative to the first digit when Keep is 0 or less.
TRounded RoundDigits(bool Negative, std::string_view All, int Exponent, bool Fixed, int Decimals) {
  TRounded R;
  R.Negative = Negative;
  int Keep = cSignificant;
  if (Fixed && Exponent + 1 + Decimals < Keep) Keep = Exponent + 1 + Decimals;
  if (Keep < 0) return R;
  if (Keep == 0) {
    if (All[0] >= '5') {
      R.Digits = "1";
      R.Exponent = Exponent + 1;
    }
    return R;
  }
  R.Digits = All.substr(0, static_cast<std::size_t>(Keep));
  R.Exponent = Exponent;
  if (All[static_cast<std::size_t>(Keep)] >= '5') {
    int I = Keep - 1;
    while (I >= 0 && R.Digits[static_cast<std::size_t>(I)] == '9') R.Digits[static_cast<std::size_t>(I--)] = '0';
    if (I < 0) {
      R.Digits.assign("1");  // all nines carried over: 999.96 -> 1000
      ++R.Exponent;
    } else {
      ++R.Digits[static_cast<std::size_t>(I)];
    }
  }
  while (!R.Digits.empty() && R.Digits.back() == '0') R.Digits.pop_back();
  return R;
}

// The same for a double: its fifteen significant digits, the precision a double holds
// faithfully (0.15 is then 1.5E-1, and rounds up as the text it came from says).
TRounded Round(double Value, bool Fixed, int Decimals) {
  if (!std::isfinite(Value) || Value == 0) return {};
  char Buffer[64];
  const auto Out = std::to_chars(Buffer, Buffer + sizeof Buffer, std::fabs(Value), std::chars_format::scientific, 14);
  const std::string_view Text(Buffer, static_cast<std::size_t>(Out.ptr - Buffer));
  const auto E = Text.find('e');
  char All[16];
  std::size_t Count = 0;
  for (char C : Text.substr(0, E))
    if (C != '.' && Count < sizeof All) All[Count++] = C;
  int Exponent = 0;
  std::from_chars(Text.data() + E + (Text[E + 1] == '+' ? 2 : 1), Text.data() + Text.size(), Exponent);
  return RoundDigits(Value < 0, std::string_view(All, Count), Exponent, Fixed, Decimals);
}

// A trip figure's text as read: sign, the digits before and after the separator, and
// the exponent as written (empty when none).
struct TParsed {
  bool Negative = false;
  std::string Whole, Fraction, Exponent;
};

// Spaces, an optional sign, digits with at most one Separator, an optional exponent,
// spaces; false for any other text (which reads as 0).
bool Parse(std::u16string_view Text, char16_t Separator, TParsed& Out) {
  std::size_t I = 0;
  const std::size_t N = Text.size();
  auto SkipSpaces = [&] {
    while (I < N && Text[I] == u' ') ++I;
  };
  auto TakeDigits = [&](std::string& Into) {
    const std::size_t Start = I;
    while (I < N && IsDigit(Text[I])) Into.push_back(char(Text[I++]));
    return I > Start;
  };
  SkipSpaces();
  if (I < N && (Text[I] == u'+' || Text[I] == u'-')) Out.Negative = Text[I++] == u'-';
  bool AnyDigit = TakeDigits(Out.Whole);
  if (I < N && Text[I] == Separator) {
    ++I;
    AnyDigit = TakeDigits(Out.Fraction) || AnyDigit;
  }
  if (!AnyDigit) return false;
  if (I < N && (Text[I] == u'e' || Text[I] == u'E')) {
    ++I;
    if (I < N && (Text[I] == u'+' || Text[I] == u'-')) Out.Exponent.push_back(char(Text[I++]));
    if (!TakeDigits(Out.Exponent)) return false;
  }
  SkipSpaces();
  return I == N;
}

double ValueOf(const TParsed& Number) {
  // Respelt for from_chars: sign, integer digits, '.', fraction, exponent.
  std::string Ascii;
  if (Number.Negative) Ascii.push_back('-');
  Ascii.append(Number.Whole.empty() ? "0" : Number.Whole);
  if (!Number.Fraction.empty()) Ascii.append(".").append(Number.Fraction);
  if (!Number.Exponent.empty()) Ascii.append("e").append(Number.Exponent);
  double Value = 0;
  const char* End = Ascii.data() + Ascii.size();
  const auto Result = std::from_chars(Ascii.data(), End, Value, std::chars_format::general);
  if (Result.ec != std::errc() || Result.ptr != End || !std::isfinite(Value)) return 0;
  return Value;
}

// A text of at most fifteen significant digits, well inside a double's range, rounds
// as its own digits do: the double nearest to it lies closer to it than to any other
// number of fifteen digits, so the double's fifteen digits are the text's. Those need
// no conversion to binary and back (which costs more than all else a record does on
// an i686 processor). Anything else goes through the double.
TRounded RoundText(const TParsed& Number, bool Fixed, int Decimals) {
  int Exponent = 0;
  if (!Number.Exponent.empty()) {
    const char* First = Number.Exponent.data() + (Number.Exponent[0] == '+');
    const auto Read = std::from_chars(First, Number.Exponent.data() + Number.Exponent.size(), Exponent);
    if (Read.ec != std::errc()) return Round(ValueOf(Number), Fixed, Decimals);
  }
  const std::string_view Whole = Number.Whole;
  std::string_view Fraction = Number.Fraction;
  const std::size_t Zeros = std::min(Whole.find_first_not_of('0'), Whole.size());
  char All[15];
  std::size_t Count = 0;
  long long First = 0;  // the power of ten of the first significant digit
  if (Zeros < Whole.size()) {
    const std::string_view Significant = Whole.substr(Zeros);
    if (Significant.size() > sizeof All) return Round(ValueOf(Number), Fixed, Decimals);
    First = static_cast<long long>(Significant.size()) - 1;
    for (char C : Significant) All[Count++] = C;
  } else {
    const std::size_t Lead = std::min(Fraction.find_first_not_of('0'), Fraction.size());
    First = -static_cast<long long>(Lead) - 1;
    Fraction.remove_prefix(Lead);
  }
  while (!Fraction.empty() && Fraction.back() == '0') Fraction.remove_suffix(1);
  if (Count + Fraction.size() > sizeof All) return Round(ValueOf(Number), Fixed, Decimals);
  for (char C : Fraction) All[Count++] = C;
  if (Count == 0) return {};  // zero, whatever its sign or exponent
  First += Exponent;
  if (First < -300 || First > 300) return Round(ValueOf(Number), Fixed, Decimals);
  while (Count < sizeof All) All[Count++] = '0';
  return RoundDigits(Number.Negative, std::string_view(All, sizeof All), static_cast<int>(First), Fixed, Decimals);
}

char16_t DigitAt(const TRounded& R, int I) {
  return (I >= 0 && I < static_cast<int>(R.Digits.size())) ? char16_t(R.Digits[static_cast<std::size_t>(I)]) : u'0';
}

void AppendExponent(std::u16string& Out, int Exponent, int MinDigits) {
  Out.push_back(u'E');
  if (Exponent < 0) Out.push_back(u'-');
  const std::string Digits = std::to_string(Exponent < 0 ? -Exponent : Exponent);
  for (int I = static_cast<int>(Digits.size()); I < MinDigits; ++I) Out.push_back(u'0');
  for (char C : Digits) Out.push_back(char16_t(C));
}

void General(const TRounded& R, char16_t Separator, int MinExponentDigits, std::u16string& Out) {
  if (R.Digits.empty()) {
    Out.push_back(u'0');
    return;
  }
  if (R.Negative) Out.push_back(u'-');
  const int Count = static_cast<int>(R.Digits.size());
  if (R.Exponent < cSignificant && R.Exponent >= -4) {
    if (R.Exponent < 0) {
      Out += u"0";
      Out.push_back(Separator);
      Out.append(static_cast<std::size_t>(-R.Exponent - 1), u'0');
      for (char C : R.Digits) Out.push_back(char16_t(C));
    } else {
      for (int I = 0; I <= R.Exponent; ++I) Out.push_back(DigitAt(R, I));
      if (Count > R.Exponent + 1) {
        Out.push_back(Separator);
        for (int I = R.Exponent + 1; I < Count; ++I) Out.push_back(DigitAt(R, I));
      }
    }
    return;
  }
  Out.push_back(DigitAt(R, 0));
  if (Count > 1) {
    Out.push_back(Separator);
    for (int I = 1; I < Count; ++I) Out.push_back(DigitAt(R, I));
  }
  AppendExponent(Out, R.Exponent, MinExponentDigits);
}

void Fixed(const TRounded& R, int Decimals, char16_t Separator, std::u16string& Out) {
  // More than six digits before the separator: the general form, exponent padded.
  if (!R.Digits.empty() && R.Exponent >= cSignificant) return General(R, Separator, Decimals, Out);
  if (R.Negative && !R.Digits.empty()) Out.push_back(u'-');
  if (R.Exponent < 0 || R.Digits.empty()) {
    Out.push_back(u'0');
  } else {
    for (int I = 0; I <= R.Exponent; ++I) Out.push_back(DigitAt(R, I));
  }
  if (Decimals > 0) {
    Out.push_back(Separator);
    const int First = R.Digits.empty() ? 1 << 20 : R.Exponent;
    for (int P = 1; P <= Decimals; ++P) Out.push_back(DigitAt(R, First + P));
  }
}

}  // namespace

double ReadTripNumber(std::u16string_view Text, char16_t Separator) noexcept {
  try {
    TParsed Number;
    return Parse(Text, Separator, Number) ? ValueOf(Number) : 0;
  } catch (...) {
    return 0;  // no memory for a pathological text: it reads as unreadable
  }
}

namespace {

// Writes a rounded number in its form; Rounder(Fixed, Decimals) does the rounding.
template <class TRounder>
void Write(TValueForm Form, char16_t Separator, std::u16string& Out, TRounder&& Rounder) {
  Out.clear();
  switch (Form) {
    case TValueForm::Fixed0: return Fixed(Rounder(true, 0), 0, Separator, Out);
    case TValueForm::Fixed1: return Fixed(Rounder(true, 1), 1, Separator, Out);
    case TValueForm::Fixed3: return Fixed(Rounder(true, 3), 3, Separator, Out);
    case TValueForm::General:
    case TValueForm::AsSent: break;
  }
  General(Rounder(false, 0), Separator, 1, Out);
}

}  // namespace

void FormatTripNumber(double Value, TValueForm Form, char16_t Separator, std::u16string& Out) {
  Write(Form, Separator, Out, [Value](bool Fixed, int Decimals) { return Round(Value, Fixed, Decimals); });
}

void FormatTripText(std::u16string_view Text, TValueForm Form, char16_t Separator, std::u16string& Out) {
  TParsed Number;
  if (!Parse(Text, Separator, Number)) Number = TParsed{false, "0", {}, {}};
  Write(Form, Separator, Out, [&Number](bool Fixed, int Decimals) { return RoundText(Number, Fixed, Decimals); });
}

}  // namespace zelm
