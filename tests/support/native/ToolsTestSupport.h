// What the workbench's native tests share.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "programs/common/DriveLog.h"
#include "programs/common/SkinCodes.h"
#include "programs/common/Utf.h"
#include "workbench/host/SkinFile.h"

namespace zelm::tools {

// A command line as the programs get it.
inline std::vector<std::u16string> Args(std::initializer_list<const char*> Words) {
  std::vector<std::u16string> Out;
  for (const char* Word : Words) Out.push_back(FromUtf8(Word));
  return Out;
}

// A skin or a recorded drive read from its text; where reading fails, the test's message says why.
inline ::testing::AssertionResult Parsed(std::string_view Text, TSkin& Skin) {
  std::string Error;
  return ParseSkin(Text, "s", Skin, Error) ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << Error;
}
inline ::testing::AssertionResult Parsed(std::string_view Text, TDrive& Drive) {
  std::string Error;
  return ParseDrive(Text, "d", Drive, Error) ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << Error;
}

// A text in UTF-16 with its byte-order mark, as an editor saves it.
inline std::string Utf16(std::string_view Utf8, bool Little) {
  std::string Bytes = Little ? "\xFF\xFE" : "\xFE\xFF";
  for (const char16_t C : FromUtf8(Utf8)) {
    const char High = static_cast<char>(C >> 8), Low = static_cast<char>(C & 0xFF);
    Bytes += Little ? std::string{Low, High} : std::string{High, Low};
  }
  return Bytes;
}

// Windows' ANSI code pages 1251 and 1252 as far as the tests need them, System the
// system's: in 1251 the bytes C0 to FF are the Cyrillic letters (F0 the er of a code), in
// 1252 and the rest of 1251 a byte is its Latin-1 character; each leaves one byte
// undefined (98 and 81), as Windows does. No other code page is there.
inline TAnsiCodePages FakeCodePages(unsigned System) {
  // Each byte's character in a code page, U+FFFF where it has none.
  const auto Table = [](unsigned CodePage) {
    std::u16string Chars(256, u'\uFFFF');
    for (unsigned B = 0; B < 256 && (CodePage == 1251 || CodePage == 1252); ++B)
      if (B != (CodePage == 1251 ? 0x98U : 0x81U))
        Chars[B] = static_cast<char16_t>(CodePage == 1251 && B >= 0xC0 ? 0x410 + B - 0xC0 : B);
    return Chars;
  };
  return {System,
          [Table](unsigned CodePage, std::string_view Bytes, std::u16string& Text) {
            const std::u16string Chars = Table(CodePage);
            Text.clear();
            for (const char B : Bytes) Text += Chars[static_cast<unsigned char>(B)];
            return Text.find(u'\uFFFF') == std::u16string::npos;
          },
          [Table](unsigned CodePage, std::u16string_view Text, std::string& Bytes) {
            const std::u16string Chars = Table(CodePage);
            Bytes.clear();
            for (const char16_t C : Text) {
              const unsigned B = C >= 0x410 && C < 0x450 ? 0xC0U + C - 0x410 : C;
              if (B > 0xFF || Chars[B] != C) return false;
              Bytes += static_cast<char>(B);
            }
            return true;
          }};
}

}  // namespace zelm::tools
