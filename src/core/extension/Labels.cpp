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

// One step of a countdown that may run below zero for ever; it wraps instead of
// overflowing, as a 32-bit counter does.
inline int32_t CountDown(int32_t Count) noexcept {
  return static_cast<int32_t>(static_cast<uint32_t>(Count) - 1u);
}

}  // namespace

std::u16string_view TRRExtensionCore::ReturnLabel(std::u16string_view LabelCode) {
  TLoweredCode Code(LabelCode);

  RunIdleCountdowns();

  if (!Code.HasPrefix(cPrefix)) return {};

  // The announcement is repeated every 101st request of ours, so that a data server
  // started after us learns our window.
  if (WaitTime == 0) {
    SendParamMaskToServer(InitConnectionMessageId, FZelmHandle);
    SendParamMaskToServer(TripReadMessageId, 0);
    WaitTime = cWaitTime;
  } else {
    --WaitTime;
  }

  const TLabelCode* Match = Code.Find();
  if (Match == nullptr) return {};

  // A slot's codes stand for the code the slot holds; its name is answered directly.
  switch (Match->Kind) {
    case TLabelCodeKind::SlotName:
      if (Match->Index == 0) return FSlots[0].Code;
      FLabelAnswer = HostGetInfo(FRRAPI, cSlots[Match->Index].ReadQuery);
      return FLabelAnswer;
    case TLabelCodeKind::SlotValue:
      Code.Replace(FSlots[Match->Index].Code);
      break;
    case TLabelCodeKind::SlotTitle:
      Code.Replace(FSlots[Match->Index].Title);
      break;
    case TLabelCodeKind::SlotUnit:
      Code.Replace(FSlots[Match->Index].Unit);
      break;
    default:
      return RenderParamCode(Match);
  }
  Match = Code.Find();
  if (Match == nullptr) return {};
  switch (Match->Kind) {
    case TLabelCodeKind::Value:
    case TLabelCodeKind::Title:
    case TLabelCodeKind::Unit:
      return RenderParamCode(Match);
    default:
      return {};  // a slot holding another slot's code is no parameter code
  }
}

// Every request runs all idle countdowns down, whatever its code. A parameter found at
// exactly 0 while on is dropped: the flag is cleared after the Delete has gone out, so
// a value that arrives during that send does not leave it on.
void TRRExtensionCore::RunIdleCountdowns() {
  // Almost always nothing is due: then no send can happen and every countdown simply
  // steps, in one pass without a branch per parameter.
  int32_t Due = 0;
  for (std::size_t I = 0; I < cLanes; ++I) Due |= (FCount[I] == 0) & FOn[I];
  if (!Due) {
    for (auto& Count : FCount) Count = CountDown(Count);
    return;
  }
  // In identifier order, one parameter after the other: a send may let value records
  // in, which can turn later parameters on before their turn.
  for (std::size_t I = 0; I < cParamCount; ++I) {
    if (FCount[I] == 0 && FOn[I]) {
      SendParamMaskToServer(DeleteMessageId, cParams[I].Id);
      FOn[I] = 0;
      FCount[I] = cCount;
    } else {
      FCount[I] = CountDown(FCount[I]);
    }
  }
}

std::u16string_view TRRExtensionCore::RenderParamCode(const TLabelCode* Match) {
  const TParamInfo& Info = cParams[Match->Index];
  const std::size_t I = Match->Index;
  const TParamFields& Param = FParams[I];
  switch (Match->Kind) {
    case TLabelCodeKind::Value:
      if (FOn[I]) {
        FCount[I] = cCount;
        return Param.Value;
      }
      // Off: subscribe, and load the countdown so that a subscription that is never
      // shown again is still dropped after cCount requests. The request that sent
      // the Add answers "-" even if the value arrives during the send.
      FCount[I] = cCount;
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
