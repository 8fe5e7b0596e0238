#include "win/platform/WindowsText.h"

#include <windows.h>

#include <iterator>

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

void TDebugTrace::Trace(std::u16string_view Line) {
  // On the stack: a trace line must not fail, whatever state the heap is in.
  static constexpr std::u16string_view cPrefix = u"ZelmKvel: ";
  wchar_t Text[512];
  std::size_t Length = 0;
  for (char16_t C : cPrefix) Text[Length++] = static_cast<wchar_t>(C);
  for (std::size_t I = 0; I < Line.size() && Length + 1 < std::size(Text); ++I) Text[Length++] = static_cast<wchar_t>(Line[I]);
  Text[Length] = L'\0';
  OutputDebugStringW(Text);
}

}  // namespace zelm
