// What the workbench's native tests share.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "programs/common/DriveLog.h"
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

}  // namespace zelm::tools
