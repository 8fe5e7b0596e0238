// Label requests. The host polls every label of the skin over and over; each request
// is our clock: it runs the idle countdowns down, repeats the announcement now and
// then, and subscribes what is asked for. This is the hot path: no allocation beyond
// what the caller makes of the answer, and the code is found by hashing, not scanning.
#include "core/extension/RRExtensionCore.h"
#include "core/host/HostCalls.h"
#include "core/tables/LabelCodes.h"

namespace zelm {
namespace {

constexpr std::u16string_view cPrefix = u"ce_";
constexpr std::u16string_view cNoValue = u"-";

}  // namespace

std::u16string_view TRRExtensionCore::ReturnLabel(std::u16string_view LabelCode) {
  TLoweredCode Code(LabelCode);

  // Every request, whatever its code, is a tick of the idle countdowns. A parameter
  // that is on and has gone unasked too long is dropped: the flag is cleared after the
  // Delete has gone out, so a value that arrives during that send does not leave it on.
  if (FSubscriptions.Tick())
    FSubscriptions.DropDue([this](std::size_t I) { SendToServer(DeleteMessageId, cParams[I].Id); });

  if (!Code.HasPrefix(cPrefix)) return {};

  // The announcement is repeated every 101st request of ours, so that a data server
  // started after us learns our window. Before Initialize has taken the window there is
  // none to name: announcing window 0 would only tell the server to send nowhere (a
  // host that asks for labels without Initialize kept doing that), so the trip figures
  // are asked for alone.
  if (FAnnouncementCountdown == 0) {
    if (FAnnouncedWindow != 0) SendToServer(InitConnectionMessageId, FAnnouncedWindow);
    SendToServer(TripReadMessageId, 0);
    FAnnouncementCountdown = cAnnouncementInterval;
  } else {
    --FAnnouncementCountdown;
  }

  const TLabelCode* Match = Code.Find();
  if (Match == nullptr) return {};

  // A slot's codes stand for the code the slot holds (taken as it is, not lowered or
  // tested again); its name is answered directly.
  switch (Match->Kind) {
    case TLabelCodeKind::SlotName:
      if (Match->Index == 0) return FSlots[0].Code;
      FLabelAnswer = HostGetInfo(FRRAPI, cSlots[Match->Index].ReadQuery);
      return FLabelAnswer;
    case TLabelCodeKind::SlotValue: Match = FSlots[Match->Index].CodeMatch; break;
    case TLabelCodeKind::SlotTitle: Match = FSlots[Match->Index].TitleMatch; break;
    case TLabelCodeKind::SlotUnit: Match = FSlots[Match->Index].UnitMatch; break;
    default: break;
  }
  return Match ? RenderParamCode(Match) : std::u16string_view();
}

// What a slot's field stands for: one of the parameters' codes, or nothing (a slot
// holding another slot's code, or any other text, is no parameter code).
const TLabelCode* TRRExtensionCore::ParamCodeOf(std::u16string_view Field) noexcept {
  const TLabelCode* Match = FindLabelCode(Field);
  if (Match == nullptr) return nullptr;
  switch (Match->Kind) {
    case TLabelCodeKind::Value:
    case TLabelCodeKind::Title:
    case TLabelCodeKind::Unit: return Match;
    default: return nullptr;
  }
}

std::u16string_view TRRExtensionCore::RenderParamCode(const TLabelCode* Match) {
  const TParamInfo& Info = cParams[Match->Index];
  const std::size_t I = Match->Index;
  const TParamFields& Param = FParams[I];
  switch (Match->Kind) {
    case TLabelCodeKind::Value:
      if (FSubscriptions.IsOn(I)) {
        FSubscriptions.Load(I, cIdleRequests);
        return Param.Value;
      }
      // Off: subscribe, and load the countdown so that a subscription that is never
      // shown again is still dropped after cIdleRequests requests. The request that sent
      // the Add answers "-" even if the value arrives during the send.
      FSubscriptions.Load(I, cIdleRequests);
      if (Info.Kind == TParamKind::Trip) SendToServer(TripReadMessageId, 0);
      SendToServer(AddMessageId, Info.Id);
      return cNoValue;
    case TLabelCodeKind::Title: return FSubscriptions.IsOn(I) ? std::u16string_view(Param.Title) : Info.ValueCode;
    case TLabelCodeKind::Unit: return FSubscriptions.IsOn(I) ? std::u16string_view(Param.Unit) : cNoValue;
    default: return {};
  }
}

}  // namespace zelm
