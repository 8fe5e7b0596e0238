// Which parameters the data server sends us, and how long each has gone unasked: the
// on flags and the idle countdowns of the 71 parameters. Every label request is one
// tick of the clock; a parameter that is on and whose countdown reads 0 is due to be
// dropped.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/tables/Catalogue.h"

namespace zelm {

class TSubscriptions {
 public:
  // Every countdown reads 0 until it is loaded; every parameter is off.
  TSubscriptions() noexcept { FZero.fill(FClock + 1u); }

  // One label request. True when a countdown of a parameter that is on may read 0 now:
  // then DropDue must be called before the next tick.
  bool Tick() noexcept { return ++FClock == FNextDue; }

  // Calls Drop(Index) for each parameter that is on and whose countdown reads 0 at this
  // tick, in identifier order; after Drop returns, the parameter is off and its
  // countdown loaded with cIdleRequests. Drop may tick the clock and turn parameters
  // on (a send lets the host's calls and the server's records in): the parameters due
  // at this tick are still the ones dropped, and one turned on meanwhile before its
  // turn is dropped with them.
  template <typename TDrop>
  void DropDue(TDrop&& Drop) {
    const uint32_t Now = FClock;
    for (std::size_t I = 0; I < cParamCount; ++I) {
      if (FZero[I] != Now || !FOn[I]) continue;
      Drop(I);
      FOn[I] = false;
      FZero[I] = Now + static_cast<uint32_t>(cIdleRequests) + 1u;
    }
    FindNextDue();
  }

  // The countdown reads Count now and 0 Count + 1 ticks on (Count wraps as a 32-bit
  // countdown does).
  void Load(std::size_t Index, uint32_t Count) noexcept;
  void TurnOn(std::size_t Index) noexcept;
  // Every parameter off; answers how many were on.
  uint32_t ForgetAll() noexcept;

  bool IsOn(std::size_t Index) const noexcept { return FOn[Index]; }
  int32_t Countdown(std::size_t Index) const noexcept { return static_cast<int32_t>(Until(FZero[Index])); }

 private:
  // Ticks from now until a deadline: what a countdown that reads 0 then reads now.
  uint32_t Until(uint32_t Deadline) const noexcept { return Deadline - FClock - 1u; }
  // Keeps FNextDue at or before the deadline of a parameter that is on.
  void Consider(std::size_t Index) noexcept {
    if (FOn[Index] && Until(FZero[Index]) < Until(FNextDue)) FNextDue = FZero[Index];
  }
  void FindNextDue() noexcept;

  // The countdowns as deadlines on one clock that counts label requests: a countdown
  // loaded with C at tick T reads 0 at tick T + C + 1, so each parameter keeps only
  // that tick (FZero), and a request steps all 71 countdowns by stepping the clock.
  // FNextDue is at or before the earliest deadline of a parameter that is on: ticks
  // before it need not look at any parameter. All of it is 32-bit arithmetic that
  // wraps, as the countdowns it stands for do; the clock starts just short of its wrap,
  // so that every run crosses it.
  uint32_t FClock = 0xFFFFFF00u;
  uint32_t FNextDue = FClock;
  std::array<uint32_t, cParamCount> FZero{};
  std::array<bool, cParamCount> FOn{};
};

}  // namespace zelm
