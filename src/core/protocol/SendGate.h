// Keeps a hung data server from freezing the host. Every control message is a
// synchronous send that waits for the server's window procedure, bounded by
// cSendBoundMs; after a send that ran into that bound, every further send is dropped
// for cBackOffMs, so a server that does not answer costs the host one bounded wait per
// back-off instead of one per message. Portable: the caller supplies the clock, a
// 32-bit millisecond tick that may wrap (GetTickCount, which every Windows has).
#pragma once

#include <cstdint>

namespace zelm {

class TSendGate {
 public:
  static constexpr uint32_t cSendBoundMs = 250;
  static constexpr uint32_t cBackOffMs = 2000;

  // Whether a send may be tried at Now.
  bool MayTry(uint32_t Now) const noexcept;
  // What came of a tried send, at the time it returned.
  void Tried(uint32_t Now, bool TimedOut) noexcept;

 private:
  bool FBackingOff = false;
  uint32_t FSince = 0;  // when the last timed-out send gave up
};

}  // namespace zelm
