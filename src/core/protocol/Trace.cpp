#include "core/protocol/Trace.h"

namespace zelm {

std::u16string HexText(uint32_t Value) {
  std::u16string Text = u"0x00000000";
  for (std::size_t I = Text.size(); Value != 0; Value >>= 4) Text[--I] = u"0123456789ABCDEF"[Value & 15u];
  return Text;
}

std::u16string DecimalText(uint32_t Value) {
  std::u16string Text;
  do {
    Text.insert(Text.begin(), static_cast<char16_t>(u'0' + Value % 10));
    Value /= 10;
  } while (Value != 0);
  return Text;
}

}  // namespace zelm
