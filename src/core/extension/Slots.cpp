// Dynamic label slots: the user steps a slot through the label-code cycle; the choice
// lives in a host variable that we rewrite and ask the host to save into the skin.
#include "core/extension/RRExtensionCore.h"
#include "core/host/HostCalls.h"
#include "core/tables/LabelCodes.h"

namespace zelm {

std::u16string_view TRRExtensionCore::DinamicLabelNext(std::u16string_view Str) noexcept {
  const TLabelCode* Match = FindLabelCode(Str);
  if (Match == nullptr || Match->Kind != TLabelCodeKind::Value) return Str;
  const int Position = cParams[Match->Index].CyclePosition;
  if (Position < 0) return Str;  // the fuel pump relay: no slot steps to or from it
  return Command[(static_cast<std::size_t>(Position) + 1) % cCommandCount];
}

void TRRExtensionCore::StepDinamicLabel(std::size_t Slot) {
  const TSlotTexts& Texts = cSlots[Slot];
  // The host's variable is where a step starts, never our copy: the skin may have
  // changed it since. A failed read changes nothing.
  std::u16string Current = HostGetInfo(FRRAPI, Texts.ReadQuery);
  LowerAscii(Current);
  const std::u16string_view Next = DinamicLabelNext(Current);
  // Made whole first, then taken over at once: the three fields and what they stand
  // for never disagree, even when memory runs out on the way.
  std::u16string Code(Next);  // Next may view Current
  std::u16string Title = Code + u"_title";
  std::u16string Unit = Code + u"_unit";
  TSlotFields& Fields = FSlots[Slot];
  Fields.CodeMatch = ParamCodeOf(Code);
  Fields.TitleMatch = ParamCodeOf(Title);
  Fields.UnitMatch = ParamCodeOf(Unit);
  Fields.Code = std::move(Code);
  Fields.Title = std::move(Title);
  Fields.Unit = std::move(Unit);
  HostExecute(FRRAPI, MakeUpdateBatch(Texts, Fields.Code));
}

}  // namespace zelm
