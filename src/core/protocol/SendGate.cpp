#include "core/protocol/SendGate.h"

namespace zelm {

bool TSendGate::MayTry(uint32_t Now) const noexcept {
  // The difference of two ticks is the time between them even across the wrap.
  return !FBackingOff || static_cast<uint32_t>(Now - FSince) >= cBackOffMs;
}

void TSendGate::Tried(uint32_t Now, bool TimedOut) noexcept {
  FBackingOff = TimedOut;
  if (TimedOut) FSince = Now;
}

}  // namespace zelm
