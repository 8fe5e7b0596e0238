#include "core/extension/RRExtensionCore.h"

#include "core/host/HostCalls.h"
#include "core/tables/LabelCodes.h"

namespace zelm {

TRRExtensionCore::TRRExtensionCore(TDataServerLink& Link, TPlatformText& Text, TTraceLog& Trace) noexcept
    : FLink(Link), FText(Text), FTrace(Trace) {
  FZero.fill(FClock + 1u);  // every countdown at 0 until Initialize loads it
}

// The host's objects go first, while every field is still whole: their Release is the
// host's code, which may do anything.
TRRExtensionCore::~TRRExtensionCore() {
  FRRAPI.reset();
  FSkin.reset();
}

void TRRExtensionCore::Init(THostRef RRAPI) {
  FRRAPI = std::move(RRAPI);
  InitConnection();
}

void TRRExtensionCore::Initialize_(std::u16string_view ZelmDSPath) {
  FZelmDSPath.assign(ZelmDSPath);
  FZelmHandle = GetHandle();
  WaitTime = cWaitTime;
  for (std::size_t I = 0; I < cParamCount; ++I) LoadCountdown(I, cCount);
  // A failing read stops here: earlier slots keep their new code, no title or unit
  // is rebuilt and the host is not asked to open the link.
  for (std::size_t I = 0; I < cSlotCount; ++I) {
    std::u16string Code = HostGetInfo(FRRAPI, cSlots[I].ReadQuery);
    LowerAscii(Code);
    FSlots[I].CodeMatch = ParamCodeOf(Code);
    FSlots[I].Code = std::move(Code);
  }
  for (auto& Slot : FSlots) {
    std::u16string Title = Slot.Code + u"_title";
    Slot.TitleMatch = ParamCodeOf(Title);
    Slot.Title = std::move(Title);
  }
  for (auto& Slot : FSlots) {
    std::u16string Unit = Slot.Code + u"_unit";
    Slot.UnitMatch = ParamCodeOf(Unit);
    Slot.Unit = std::move(Unit);
  }
  HostExecute(FRRAPI, cOpenCommand, false);
}

uint32_t TRRExtensionCore::GetHandle() {
  if (FHandle == 0) FHandle = FLink.MessageWindow();
  return FHandle;
}

void TRRExtensionCore::InitConnection() { SendParamMaskToServer(InitConnectionMessageId, GetHandle()); }

void TRRExtensionCore::SendParamMaskToServer(uint32_t MessageId, uint32_t Param1, uint32_t Param2,
                                             uint32_t Param3, uint32_t Param4) {
  const TSendOutcome Outcome = FLink.Send(MessageId, TCopyData{Param1, Param2, Param3, Param4});
  if (Outcome.Looked) NoteServerWindow(Outcome.Server);
}

// Every message that looks for the server also tells us whether it is still the one we
// subscribed with. When it is gone, or another one has taken its place, our
// subscriptions are gone with it: every parameter counts as off again, so the next
// request of a value shown subscribes it afresh (as at start-up) and nothing stale is
// shown as live meanwhile. The same server keeps everything as it is.
void TRRExtensionCore::NoteServerWindow(uint32_t Server) {
  const uint32_t Previous = FServerWindow;
  if (Server == Previous && Server != 0) return;
  FServerWindow = Server;
  if (Server != 0 && Previous == 0) {
    FTrace.Trace(TTraceLine(u"server window found (").Hex(Server).Add(u")"));
    return;
  }
  if (Server == 0 && Previous != 0)
    FTrace.Trace(TTraceLine(u"server window lost (was ").Hex(Previous).Add(u")"));
  else if (Server != 0)
    FTrace.Trace(TTraceLine(u"server window changed (").Hex(Previous).Add(u" -> ").Hex(Server).Add(u")"));
  ForgetSubscriptions();
}

void TRRExtensionCore::ForgetSubscriptions() {
  uint32_t Forgotten = 0;
  for (auto& On : FOn) {
    Forgotten += On;
    On = false;
  }
  if (Forgotten != 0)
    FTrace.Trace(TTraceLine(u"subscriptions forgotten (").Decimal(Forgotten).Add(u" parameters were on)"));
}


}  // namespace zelm
