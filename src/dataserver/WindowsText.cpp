#include "dataserver/WindowsText.h"

#include <windows.h>

namespace zelm {

std::u16string TWindowsText::FromAnsi(std::string_view Text) {
  if (Text.empty()) return {};
  const int Size = static_cast<int>(Text.size());
  const int Length = MultiByteToWideChar(CP_ACP, 0, Text.data(), Size, nullptr, 0);
  if (Length <= 0) return {};
  std::u16string Wide(static_cast<std::size_t>(Length), u'\0');
  const int Written = MultiByteToWideChar(CP_ACP, 0, Text.data(), Size, reinterpret_cast<LPWSTR>(Wide.data()), Length);
  Wide.resize(Written > 0 ? static_cast<std::size_t>(Written) : 0);
  return Wide;
}

char16_t TWindowsText::DecimalSeparator() {
  wchar_t Separator[8] = {};
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, Separator, 8) > 0 && Separator[0] != L'\0')
    return static_cast<char16_t>(Separator[0]);
  return u'.';
}

}  // namespace zelm
