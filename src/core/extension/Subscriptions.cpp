#include "core/extension/Subscriptions.h"

namespace zelm {

// A later deadline needs no care: FNextDue may come early, and the look then finds
// nothing due.
void TSubscriptions::Load(std::size_t Index, uint32_t Count) noexcept {
  FZero[Index] = FClock + Count + 1u;
  Consider(Index);
}

// A parameter that turns on may have a deadline earlier than any so far.
void TSubscriptions::TurnOn(std::size_t Index) noexcept {
  FOn[Index] = true;
  Consider(Index);
}

uint32_t TSubscriptions::ForgetAll() noexcept {
  uint32_t Forgotten = 0;
  for (auto& On : FOn) {
    Forgotten += On;
    On = false;
  }
  return Forgotten;
}

// The next deadline of a parameter that is on; with none, a whole turn of the clock.
void TSubscriptions::FindNextDue() noexcept {
  uint32_t Nearest = UINT32_MAX;
  for (std::size_t I = 0; I < cParamCount; ++I)
    if (FOn[I] && Until(FZero[I]) < Nearest) Nearest = Until(FZero[I]);
  FNextDue = FClock + 1u + Nearest;
}

}  // namespace zelm
