#include "core/platform/Trace.h"

namespace zelm {

TTraceLine& TTraceLine::Add(std::u16string_view Text) noexcept {
  for (char16_t C : Text) {
    if (FLength == cCapacity) break;
    FText[FLength++] = C;
  }
  return *this;
}

TTraceLine& TTraceLine::Hex(uint32_t Value) noexcept {
  char16_t Digits[10] = {u'0', u'x'};
  for (int I = 9; I >= 2; --I, Value >>= 4) Digits[I] = u"0123456789ABCDEF"[Value & 15u];
  return Add({Digits, 10});
}

TTraceLine& TTraceLine::Decimal(uint32_t Value) noexcept {
  char16_t Digits[10];
  std::size_t First = sizeof Digits / sizeof Digits[0];
  do {
    Digits[--First] = static_cast<char16_t>(u'0' + Value % 10);
    Value /= 10;
  } while (Value != 0);
  return Add({Digits + First, sizeof Digits / sizeof Digits[0] - First});
}

}  // namespace zelm
