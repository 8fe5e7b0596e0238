#include "extension/RRExtensionCore.h"

#include "catalogue/LabelCodes.h"
#include "host/HostCalls.h"

namespace zelm {

TRRExtensionCore::TRRExtensionCore(TDataServerLink& Link, TPlatformText& Text) noexcept
    : FLink(Link), FText(Text) {}

TRRExtensionCore::~TRRExtensionCore() {
  FRRAPI.reset();
  if (FHandle != 0) FLink.DestroyMessageWindow(FHandle);
}

void TRRExtensionCore::Init(THostRef RRAPI) {
  FRRAPI = std::move(RRAPI);
  InitConnection();
}

void TRRExtensionCore::Initialize_(std::u16string_view ZelmDSPath) {
  FZelmDSPath.assign(ZelmDSPath);
  FZelmHandle = GetHandle();
  WaitTime = cWaitTime;
  FCount.fill(cCount);
  // A failing read stops here: earlier slots keep their new code, no title or unit
  // is rebuilt and the host is not asked to open the link.
  for (std::size_t I = 0; I < cSlotCount; ++I) {
    FSlots[I].Code = HostGetInfo(FRRAPI, cSlots[I].ReadQuery);
    LowerAscii(FSlots[I].Code);
  }
  for (auto& Slot : FSlots) Slot.Title = Slot.Code + u"_title";
  for (auto& Slot : FSlots) Slot.Unit = Slot.Code + u"_unit";
  HostExecute(FRRAPI, cOpenCommand, false);
}

uint32_t TRRExtensionCore::GetHandle() {
  if (FHandle == 0) FHandle = FLink.CreateMessageWindow();
  return FHandle;
}

void TRRExtensionCore::InitConnection() { SendParamMaskToServer(InitConnectionMessageId, GetHandle()); }

void TRRExtensionCore::SendParamMaskToServer(uint32_t MessageId, uint32_t Param1, uint32_t Param2,
                                             uint32_t Param3, uint32_t Param4) {
  FLink.Send(MessageId, TCopyData{Param1, Param2, Param3, Param4});
}

}  // namespace zelm
