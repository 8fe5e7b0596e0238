#include "dataserver/SendGate.h"

namespace zelm {

bool TSendGate::MayTry(uint64_t Now) const noexcept {
  // A clock reading from before the time-out (it cannot go back, but a caller might
  // mix readings) keeps the gate shut rather than wrapping round to open it.
  return !FBackingOff || (Now >= FSince && Now - FSince >= cBackOffMs);
}

void TSendGate::Tried(uint64_t Now, bool TimedOut) noexcept {
  FBackingOff = TimedOut;
  if (TimedOut) FSince = Now;
}

}  // namespace zelm
