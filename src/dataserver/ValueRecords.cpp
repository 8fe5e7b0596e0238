// Value records from the data server, as they arrive on the hidden window (possibly
// in the middle of one of our own sends).
#include <cstring>

#include "extension/RRExtensionCore.h"

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

void TRRExtensionCore::StoreValueRecord(uint32_t Identifier, const void* Data, std::size_t Size) {
  // A record without data carries no value: ignored, and said once while it lasts.
  if (Data == nullptr || Size == 0) {
    if (!FRecordsMalformed)
      FTrace.Trace(u"value record ignored as malformed: no data (identifier " + DecimalText(Identifier) + u")");
    FRecordsMalformed = true;
    return;
  }
  FRecordsMalformed = false;
  const int Index = ParamIndexOfId(Identifier);
  if (Index < 0) return;  // no parameter of ours: ignored
  const TParamInfo& Info = cParams[static_cast<std::size_t>(Index)];
  const auto I = static_cast<std::size_t>(Index);
  TParamFields& Param = FParams[I];
  const TParamValueData Record = DecodeParamValueData(Data, Size);

  if (Info.Kind == TParamKind::Live) {
    Param.Value = FText.FromAnsi(Record.ValueText);
    SetTitleAndUnit(FText.FromAnsi(Record.TitleUnitText), Param.Title, Param.Unit);
    FOn[I] = 1;
    return;
  }
  FOn[I] = 1;
  if (Info.Form == TValueForm::AsSent) {
    Param.Value = FText.FromAnsi(Record.ValueText);
  } else {
    const char16_t Separator = FText.DecimalSeparator();
    Param.Value = FormatTripNumber(ReadTripNumber(FText.FromAnsi(Record.ValueText), Separator),
                                   Info.Form, Separator);
  }
}

}  // namespace zelm
