#include "programs/common/Utf.h"

#include <cstdint>

namespace zelm::tools {
namespace {

void Put(std::string& Out, char32_t C) {
  if (C < 0x80) {
    Out.push_back(static_cast<char>(C));
  } else if (C < 0x800) {
    Out.push_back(static_cast<char>(0xC0 | (C >> 6)));
    Out.push_back(static_cast<char>(0x80 | (C & 0x3F)));
  } else if (C < 0x10000) {
    Out.push_back(static_cast<char>(0xE0 | (C >> 12)));
    Out.push_back(static_cast<char>(0x80 | ((C >> 6) & 0x3F)));
    Out.push_back(static_cast<char>(0x80 | (C & 0x3F)));
  } else {
    Out.push_back(static_cast<char>(0xF0 | (C >> 18)));
    Out.push_back(static_cast<char>(0x80 | ((C >> 12) & 0x3F)));
    Out.push_back(static_cast<char>(0x80 | ((C >> 6) & 0x3F)));
    Out.push_back(static_cast<char>(0x80 | (C & 0x3F)));
  }
}

bool IsHigh(char16_t C) { return C >= 0xD800 && C < 0xDC00; }
bool IsLow(char16_t C) { return C >= 0xDC00 && C < 0xE000; }

}  // namespace

std::string ToUtf8(std::u16string_view Text) {
  std::string Out;
  Out.reserve(Text.size());
  for (std::size_t I = 0; I < Text.size(); ++I) {
    const char16_t C = Text[I];
    if (IsHigh(C) && I + 1 < Text.size() && IsLow(Text[I + 1])) {
      Put(Out, 0x10000 + ((char32_t(C) - 0xD800) << 10) + (char32_t(Text[I + 1]) - 0xDC00));
      ++I;
    } else if (IsHigh(C) || IsLow(C)) {
      Put(Out, 0xFFFD);
    } else {
      Put(Out, C);
    }
  }
  return Out;
}

std::u16string FromUtf8(std::string_view Text) {
  std::u16string Out;
  Out.reserve(Text.size());
  std::size_t I = 0;
  while (I < Text.size()) {
    const auto B = static_cast<uint8_t>(Text[I]);
    std::size_t Length = B < 0x80 ? 1 : (B >> 5) == 6 ? 2 : (B >> 4) == 14 ? 3 : (B >> 3) == 30 ? 4 : 0;
    char32_t C = Length == 1 ? B : Length == 2 ? (B & 0x1F) : Length == 3 ? (B & 0x0F) : (B & 0x07);
    bool Ok = Length != 0 && I + Length <= Text.size();
    for (std::size_t K = 1; Ok && K < Length; ++K) {
      const auto Next = static_cast<uint8_t>(Text[I + K]);
      Ok = (Next >> 6) == 2;
      C = (C << 6) | (Next & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    static constexpr char32_t cSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    Ok = Ok && C >= cSmallest[Length] && C <= 0x10FFFF && !(C >= 0xD800 && C < 0xE000);
    if (!Ok) {
      Out.push_back(u'\uFFFD');
      ++I;
      continue;
    }
    if (C >= 0x10000) {
      Out.push_back(static_cast<char16_t>(0xD800 + ((C - 0x10000) >> 10)));
      Out.push_back(static_cast<char16_t>(0xDC00 + ((C - 0x10000) & 0x3FF)));
    } else {
      Out.push_back(static_cast<char16_t>(C));
    }
    I += Length;
  }
  return Out;
}

std::size_t DisplayWidth(std::u16string_view Text) noexcept {
  std::size_t Width = 0;
  for (char16_t C : Text) Width += IsLow(C) ? 0u : 1u;
  return Width;
}

}  // namespace zelm::tools
