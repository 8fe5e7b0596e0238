#include "core/extension/RRExtensionCore.h"

#include "core/host/HostCalls.h"
#include "core/tables/LabelCodes.h"

namespace zelm {

TRRExtensionCore::TRRExtensionCore(TDataServerLink& Link, TPlatformText& Text, TTraceLog& Trace) noexcept
    : FLink(Link), FText(Text), FTrace(Trace) {}

// The host's objects go first, while every field is still whole: their Release is the
// host's code, which may do anything.
TRRExtensionCore::~TRRExtensionCore() {
  FRRAPI.reset();
  FSkin.reset();
}

void TRRExtensionCore::Init(THostRef RRAPI) {
  FRRAPI = std::move(RRAPI);
  AnnounceWindow();
}

void TRRExtensionCore::Initialize(std::u16string_view ZelmDSPath) {
  FZelmDSPath.assign(ZelmDSPath);
  FAnnouncedWindow = OwnWindow();
  FAnnouncementCountdown = cAnnouncementInterval;
  for (std::size_t I = 0; I < cParamCount; ++I) FSubscriptions.Load(I, cIdleRequests);
  // Each slot takes its code as it is read; titles and units are built once every read
  // has worked (see AssignSlot).
  for (std::size_t I = 0; I < cSlotCount; ++I) {
    std::u16string Code = HostGetInfo(FRRAPI, cSlots[I].ReadQuery);
    LowerAscii(Code);
    AssignSlot(I, std::move(Code), TSlotWrite::CodeOnly);
  }
  for (std::size_t I = 0; I < cSlotCount; ++I) AssignSlot(I, FSlots[I].Code);
  HostExecute(FRRAPI, cOpenCommand, false);
}

uint32_t TRRExtensionCore::OwnWindow() {
  if (FOwnWindow == 0) FOwnWindow = FLink.MessageWindow();
  return FOwnWindow;
}

void TRRExtensionCore::AnnounceWindow() { SendToServer(InitConnectionMessageId, OwnWindow()); }

void TRRExtensionCore::SendToServer(uint32_t MessageId, uint32_t Data1) {
  const TSendOutcome Outcome = FLink.Send(MessageId, TCopyData{Data1, 0, 0, 0});
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
  if (const uint32_t Forgotten = FSubscriptions.ForgetAll(); Forgotten != 0)
    FTrace.Trace(TTraceLine(u"subscriptions forgotten (").Decimal(Forgotten).Add(u" parameters were on)"));
}

}  // namespace zelm
