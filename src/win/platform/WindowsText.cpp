#include "win/platform/WindowsText.h"

#include <windows.h>

#include <iterator>

namespace zelm {

void TWindowsText::FromAnsi(std::string_view Text, std::u16string& Out) {
  // No byte of an ANSI code page gives more than one UTF-16 unit: one call does. And
  // every ANSI code page of Windows has ASCII as its first half: the data server's
  // usual texts ("850", "Engine speed,rpm") need no call at all.
  Out.resize(Text.size());
  std::size_t Ascii = 0;
  while (Ascii < Text.size() && static_cast<unsigned char>(Text[Ascii]) < 0x80) {
    Out[Ascii] = static_cast<char16_t>(Text[Ascii]);
    ++Ascii;
  }
  if (Ascii == Text.size()) return;
  const int Written = MultiByteToWideChar(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()),
                                          reinterpret_cast<LPWSTR>(Out.data()), static_cast<int>(Out.size()));
  Out.resize(Written > 0 ? static_cast<std::size_t>(Written) : 0);
}

char16_t TWindowsText::DecimalSeparator() {
  wchar_t Separator[8] = {};
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, Separator, 8) > 0 && Separator[0] != L'\0')
    return static_cast<char16_t>(Separator[0]);
  return u'.';
}

void TDebugTrace::Trace(std::u16string_view Line) noexcept {
  // On the stack: a trace line must not fail, whatever state the heap is in.
  static constexpr std::u16string_view cPrefix = u"ZelmKvel: ";
  wchar_t Text[512];
  std::size_t Length = 0;
  for (char16_t C : cPrefix) Text[Length++] = static_cast<wchar_t>(C);
  for (std::size_t I = 0; I < Line.size() && Length + 1 < std::size(Text); ++I)
    Text[Length++] = static_cast<wchar_t>(Line[I]);
  Text[Length] = L'\0';
  OutputDebugStringW(Text);
}

}  // namespace zelm
