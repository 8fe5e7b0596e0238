// Skin commands. Every command a skin fires reaches every extension; we take only
// our 18, matched whole after lowering the ASCII capitals, and leave the rest alone.
#include "core/extension/RRExtensionCore.h"
#include "core/tables/LabelCodes.h"

namespace zelm {

TExtentionProcessCommandExitCode TRRExtensionCore::ProcessCommand(std::u16string_view CMD) {
  const TLoweredCode LowerCaseCMD(CMD);
  if (!LowerCaseCMD.HasPrefix(u"ce_")) return ecNone;

  if (LowerCaseCMD.Is(u"ce_open")) {
    AnnounceWindow();
    SendToServer(TripReadMessageId, 0);
    return ecBreak;
  }
  if (LowerCaseCMD.Is(u"ce_close")) {
    SendToServer(TripResetMessageId, 0);
    return ecBreak;
  }
  for (std::size_t Slot = 0; Slot < cSlotCount; ++Slot) {
    if (LowerCaseCMD.Is(cSlots[Slot].StepCommand)) {
      StepSlot(Slot);
      return ecBreak;
    }
  }
  return ecNone;
}

}  // namespace zelm
