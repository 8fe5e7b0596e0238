// The value record's layout, read strictly within the copied data, and written the
// way the data server writes it.
#include <cstring>

#include "core/protocol/Protocol.h"

namespace zelm {

TParamValueData DecodeParamValueData(const void* Data, std::size_t Size) noexcept {
  TParamValueData Record;
  if (Data == nullptr) return Record;
  const char* Bytes = static_cast<const char*>(Data);
  const std::size_t ValueArea = Size < cValueTextSize ? Size : cValueTextSize;
  const void* ValueEnd = std::memchr(Bytes, 0, ValueArea);
  Record.ValueText = std::string_view(
      Bytes, ValueEnd ? static_cast<std::size_t>(static_cast<const char*>(ValueEnd) - Bytes) : ValueArea);
  if (Size > cValueTextSize) {
    const char* Title = Bytes + cValueTextSize;
    const std::size_t TitleArea = Size - cValueTextSize;
    const void* TitleEnd = std::memchr(Title, 0, TitleArea);
    Record.TitleUnitText = std::string_view(
        Title, TitleEnd ? static_cast<std::size_t>(static_cast<const char*>(TitleEnd) - Title) : TitleArea);
  }
  return Record;
}

namespace {

// The value area: the text up to its first NUL, cut at 29 characters, NUL-padded to
// 30 bytes.
std::string EncodeValueArea(std::string_view ValueText) {
  ValueText = ValueText.substr(0, ValueText.find('\0'));
  if (ValueText.size() > cMaxValueText) ValueText = ValueText.substr(0, cMaxValueText);
  std::string Record(cValueTextSize, '\0');
  Record.replace(0, ValueText.size(), ValueText);
  return Record;
}

}  // namespace

std::string EncodeLiveRecord(std::string_view ValueText, std::string_view TitleUnit) {
  std::string Record = EncodeValueArea(ValueText);
  Record.append(TitleUnit.substr(0, TitleUnit.find('\0')));
  Record.push_back('\0');
  return Record;
}

std::string EncodeTripRecord(std::string_view ValueText) { return EncodeValueArea(ValueText); }

void SetTitleAndUnit(std::u16string_view S, std::u16string& Title, std::u16string& Unit) {
  Title.clear();
  Unit.clear();
  const auto Comma = S.find(u',');
  if (Comma == std::u16string_view::npos || Comma + 1 == S.size()) {
    Title.assign(S);
    Unit.assign(u"-");
  } else {
    Title.assign(S.substr(0, Comma));
    Unit.assign(S.substr(Comma + 1));
  }
}

}  // namespace zelm
