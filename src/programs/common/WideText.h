// Windows' wide text as the programs' UTF-16 and back: on Windows wchar_t is a UTF-16
// code unit, so the two are views of the same text. And the system's ANSI code page.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "programs/common/Utf.h"

namespace zelm::tools {

inline std::u16string_view View16(std::wstring_view Text) noexcept {
  return {reinterpret_cast<const char16_t*>(Text.data()), Text.size()};
}
inline std::wstring_view ViewWide(std::u16string_view Text) noexcept {
  return {reinterpret_cast<const wchar_t*>(Text.data()), Text.size()};
}
// A UTF-16 text as the wide-character calls take it.
inline const wchar_t* Wide(const std::u16string& Text) noexcept {
  return reinterpret_cast<const wchar_t*>(Text.c_str());
}
// Wide text as UTF-8, for files and the terminal.
inline std::string Narrow(std::wstring_view Text) { return ToUtf8(View16(Text)); }

// Text in a code page (the system's ANSI one unless told) as UTF-16. Strict: false (and
// nothing) when the bytes are no text in it; otherwise such bytes become the code page's
// replacement.
inline bool FromCodePage(std::string_view Bytes, std::u16string& Text, UINT CodePage = CP_ACP, bool Strict = true) {
  Text.assign(Bytes.size(), u'\0');  // a byte gives one UTF-16 unit at the most
  if (Bytes.empty()) return true;
  const int Length =
      MultiByteToWideChar(CodePage, Strict ? MB_ERR_INVALID_CHARS : 0, Bytes.data(), static_cast<int>(Bytes.size()),
                          reinterpret_cast<LPWSTR>(Text.data()), static_cast<int>(Text.size()));
  Text.resize(Length > 0 ? static_cast<std::size_t>(Length) : 0);
  return Length > 0;
}

// UTF-16 in a code page, strictly: false when the code page lacks a character (no best
// fit, no default character).
inline bool ToCodePage(std::u16string_view Text, std::string& Bytes, UINT CodePage) {
  Bytes.clear();
  if (Text.empty()) return true;
  const auto Units = reinterpret_cast<LPCWSTR>(Text.data());
  const int Length = static_cast<int>(Text.size());
  BOOL Lacked = FALSE;
  const int Size = WideCharToMultiByte(CodePage, WC_NO_BEST_FIT_CHARS, Units, Length, nullptr, 0, nullptr, &Lacked);
  if (Size <= 0 || Lacked) return false;
  Bytes.resize(static_cast<std::size_t>(Size));
  return WideCharToMultiByte(CodePage, WC_NO_BEST_FIT_CHARS, Units, Length, Bytes.data(), Size, nullptr, &Lacked) ==
             Size &&
         !Lacked;
}

// UTF-16 in the system's ANSI code page; what it lacks becomes the code page's default.
inline std::string ToAnsi(std::u16string_view Text) {
  const int Size = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWSTR>(Text.data()), static_cast<int>(Text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string Out(static_cast<std::size_t>(Size > 0 ? Size : 0), '\0');
  if (Size > 0)
    WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWSTR>(Text.data()), static_cast<int>(Text.size()), Out.data(),
                        Size, nullptr, nullptr);
  return Out;
}

}  // namespace zelm::tools
