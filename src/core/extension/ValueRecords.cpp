// Value records from the data server, as they arrive on the hidden window (possibly
// in the middle of one of our own sends).
#include "core/extension/RRExtensionCore.h"
#include "core/protocol/TripNumbers.h"

namespace zelm {

void TRRExtensionCore::StoreValueRecord(uint32_t Identifier, const void* Data, std::size_t Size) {
  // A record without data carries no value: ignored, and said once for each
  // identifier (all others count as one) until a good record for it comes.
  const int Index = ParamIndexOfId(Identifier);
  const std::size_t Spell = Index < 0 ? cParamCount : static_cast<std::size_t>(Index);
  if (Data == nullptr || Size == 0) {
    if (!FMalformed[Spell])
      FTrace.Trace(
          TTraceLine(u"value record ignored as malformed: no data (identifier ").Decimal(Identifier).Add(u")"));
    FMalformed[Spell] = true;
    return;
  }
  FMalformed[Spell] = false;
  if (Index < 0) return;  // no parameter of ours: ignored
  const TParamInfo& Info = cParams[static_cast<std::size_t>(Index)];
  const auto I = static_cast<std::size_t>(Index);
  TParamFields& Param = FParams[I];
  const TParamValueData Record = DecodeParamValueData(Data, Size);

  // The texts are converted into storage kept from record to record: a value that
  // arrives ten times a second costs no allocation.
  if (Info.Kind == TParamKind::Live) {
    FText.FromAnsi(Record.ValueText, Param.Value);
    FText.FromAnsi(Record.TitleUnitText, FRecordText);
    SetTitleAndUnit(FRecordText, Param.Title, Param.Unit);
    FSubscriptions.TurnOn(I);
    return;
  }
  FSubscriptions.TurnOn(I);
  if (Info.Form == TValueForm::AsSent) {
    FText.FromAnsi(Record.ValueText, Param.Value);
  } else {
    const char16_t Separator = FText.DecimalSeparator();
    FText.FromAnsi(Record.ValueText, FRecordText);
    FormatTripText(FRecordText, Info.Form, Separator, Param.Value);
  }
}

}  // namespace zelm
