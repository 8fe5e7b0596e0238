// The data server's side of a value record: what the simulated car puts into the
// WM_COPYDATA block of each value it sends. The extension reads the same layout with
// DecodeParamValueData (dataserver/Protocol.h); the bench's tests check the two agree.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "dataserver/Protocol.h"

namespace zelm::bench {

// Longest value text that fits the 30-byte area with its NUL.
inline constexpr std::size_t cMaxValueText = cValueTextSize - 1;

// The value area: the text up to its first NUL, cut at 29 characters, NUL-padded to
// 30 bytes.
inline std::string EncodeValueArea(std::string_view ValueText) {
  ValueText = ValueText.substr(0, ValueText.find('\0'));
  if (ValueText.size() > cMaxValueText) ValueText = ValueText.substr(0, cMaxValueText);
  std::string Record(cValueTextSize, '\0');
  Record.replace(0, ValueText.size(), ValueText);
  return Record;
}

// A live parameter's record: the value area, then the "Title,unit" text and its NUL.
// Both texts are 8-bit ANSI.
inline std::string EncodeLiveRecord(std::string_view ValueText, std::string_view TitleUnit) {
  std::string Record = EncodeValueArea(ValueText);
  Record.append(TitleUnit.substr(0, TitleUnit.find('\0')));
  Record.push_back('\0');
  return Record;
}

// A trip figure's record: the value area only; the extension reads no title for it.
inline std::string EncodeTripRecord(std::string_view ValueText) { return EncodeValueArea(ValueText); }

}  // namespace zelm::bench
