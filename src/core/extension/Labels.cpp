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

  RunIdleCountdowns();

  if (!Code.HasPrefix(cPrefix)) return {};

  // The announcement is repeated every 101st request of ours, so that a data server
  // started after us learns our window. Before Initialize has taken the window there is
  // none to name: announcing window 0 would only tell the server to send nowhere (a
  // host that asks for labels without Initialize kept doing that), so the trip figures
  // are asked for alone.
  if (WaitTime == 0) {
    if (FZelmHandle != 0) SendParamMaskToServer(InitConnectionMessageId, FZelmHandle);
    SendParamMaskToServer(TripReadMessageId, 0);
    WaitTime = cWaitTime;
  } else {
    --WaitTime;
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
    case TLabelCodeKind::SlotValue:
      Match = FSlots[Match->Index].CodeMatch;
      break;
    case TLabelCodeKind::SlotTitle:
      Match = FSlots[Match->Index].TitleMatch;
      break;
    case TLabelCodeKind::SlotUnit:
      Match = FSlots[Match->Index].UnitMatch;
      break;
    default:
      break;
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
    case TLabelCodeKind::Unit:
      return Match;
    default:
      return nullptr;
  }
}

// Every request runs all idle countdowns down, whatever its code: one step of the
// clock. Only when the earliest deadline comes does it look at the parameters.
void TRRExtensionCore::RunIdleCountdowns() {
  if (++FClock == FNextDue) DropDueSubscriptions();
}

// A parameter whose countdown reads exactly 0 while it is on is dropped: the flag is
// cleared after the Delete has gone out, so a value that arrives during that send does
// not leave it on. In identifier order, one parameter after the other: a send may let
// value records in, which can turn later parameters on before their turn.
void TRRExtensionCore::DropDueSubscriptions() {
  // This request's time, held: a host that asks for a label from inside one of our
  // sends moves the clock on, and the parameters due now must still be seen.
  const uint32_t Now = FClock;
  for (std::size_t I = 0; I < cParamCount; ++I) {
    if (FZero[I] == Now && FOn[I]) {
      SendParamMaskToServer(DeleteMessageId, cParams[I].Id);
      FOn[I] = false;
      FZero[I] = Now + static_cast<uint32_t>(cCount) + 1u;
    }
  }
  // The next deadline of a parameter that is on; with none, a whole turn of the clock.
  uint32_t Nearest = UINT32_MAX;
  for (std::size_t I = 0; I < cParamCount; ++I)
    if (FOn[I] && FZero[I] - FClock - 1u < Nearest) Nearest = FZero[I] - FClock - 1u;
  FNextDue = FClock + 1u + Nearest;
}

// A countdown loaded with Count now reads 0 Count + 1 requests on. A later deadline
// needs no care (FNextDue may come early; the look then finds nothing).
void TRRExtensionCore::LoadCountdown(std::size_t Index, uint32_t Count) noexcept {
  FZero[Index] = FClock + Count + 1u;
  if (FOn[Index] && FZero[Index] - FClock - 1u < FNextDue - FClock - 1u) FNextDue = FZero[Index];
}

// A parameter that turns on may have a deadline earlier than any so far.
void TRRExtensionCore::TurnOn(std::size_t Index) noexcept {
  FOn[Index] = true;
  if (FZero[Index] - FClock - 1u < FNextDue - FClock - 1u) FNextDue = FZero[Index];
}

void TRRExtensionCore::SetCount(std::size_t Index, int32_t Value) noexcept {
  LoadCountdown(Index, static_cast<uint32_t>(Value));
}

std::u16string_view TRRExtensionCore::RenderParamCode(const TLabelCode* Match) {
  const TParamInfo& Info = cParams[Match->Index];
  const std::size_t I = Match->Index;
  const TParamFields& Param = FParams[I];
  switch (Match->Kind) {
    case TLabelCodeKind::Value:
      if (FOn[I]) {
        LoadCountdown(I, cCount);
        return Param.Value;
      }
      // Off: subscribe, and load the countdown so that a subscription that is never
      // shown again is still dropped after cCount requests. The request that sent
      // the Add answers "-" even if the value arrives during the send.
      LoadCountdown(I, cCount);
      if (Info.Kind == TParamKind::Trip) SendParamMaskToServer(TripReadMessageId, 0);
      SendParamMaskToServer(AddMessageId, Info.Id);
      return cNoValue;
    case TLabelCodeKind::Title:
      return FOn[I] ? std::u16string_view(Param.Title) : Info.ValueCode;
    case TLabelCodeKind::Unit:
      return FOn[I] ? std::u16string_view(Param.Unit) : cNoValue;
    default:
      return {};
  }
}

}  // namespace zelm
