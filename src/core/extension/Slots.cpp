// Dynamic label slots: the user steps a slot through the label-code cycle; the choice
// lives in a host variable that we rewrite and ask the host to save into the skin.
#include "core/extension/RRExtensionCore.h"
#include "core/host/HostCalls.h"
#include "core/tables/LabelCodes.h"

namespace zelm {

std::u16string_view TRRExtensionCore::NextCycleCode(std::u16string_view Code) noexcept {
  const TLabelCode* Match = FindLabelCode(Code);
  if (Match == nullptr || Match->Kind != TLabelCodeKind::Value) return Code;
  const int Position = cParams[Match->Index].CyclePosition;
  if (Position < 0) return Code;  // the fuel pump relay: no slot steps to or from it
  return cLabelCodeCycle[(static_cast<std::size_t>(Position) + 1) % cCycleLength];
}

void TRRExtensionCore::StepSlot(std::size_t Slot) {
  const TSlotTexts& Texts = cSlots[Slot];
  // The host's variable is where a step starts, never our copy: the skin may have
  // changed it since. A failed read changes nothing.
  std::u16string Current = HostGetInfo(FRRAPI, Texts.ReadQuery);
  LowerAscii(Current);
  AssignSlot(Slot, std::u16string(NextCycleCode(Current)));
  HostExecute(FRRAPI, MakeUpdateBatch(Texts, FSlots[Slot].Code));
}

// The one writer of a slot. Its three fields and what each stands for are made whole
// first and then taken over at once: they never disagree, even when memory runs out on
// the way.
void TRRExtensionCore::AssignSlot(std::size_t Slot, std::u16string Code, TSlotWrite Write) {
  TSlotFields& Fields = FSlots[Slot];
  if (Write == TSlotWrite::CodeOnly) {
    // The one exception, kept as the host has always seen it: Initialize gives every
    // slot its code as it reads it and builds the titles and units only once all 16
    // reads have worked, so a failing read leaves the slots before it with their new
    // code and their old title and unit (and the host not asked to open the link).
    const TLabelCode* CodeMatch = ParamCodeOf(Code);
    Fields.Code = std::move(Code);
    Fields.CodeMatch = CodeMatch;
    return;
  }
  std::u16string Title = Code + u"_title";
  std::u16string Unit = Code + u"_unit";
  Fields.CodeMatch = ParamCodeOf(Code);
  Fields.TitleMatch = ParamCodeOf(Title);
  Fields.UnitMatch = ParamCodeOf(Unit);
  Fields.Code = std::move(Code);
  Fields.Title = std::move(Title);
  Fields.Unit = std::move(Unit);
}

}  // namespace zelm
