#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <random>
#include <vector>

#include "core/extension/Subscriptions.h"

namespace zelm {
namespace {

// The countdowns against a model that steps 71 counters one by one, as the drop rule
// reads: after every event of random traffic the drops, every countdown and every flag
// agree. Parameters turn on in the middle of a drop (a value record arriving during our
// Delete; the same plan for both: by the number of the drop), and countdowns loaded
// near the edges of 32 bits cross the wrap.
TEST(Subscriptions, AgreeWithCountersSteppedOneByOne) {
  TSubscriptions Subscriptions;
  std::array<uint32_t, cParamCount> Count{};
  std::array<bool, cParamCount> On{};
  // Drop number N turns on parameter (N * 7919) % 97 when that is one.
  auto Arriving = [](uint32_t N) { return static_cast<std::size_t>((N * 7919u) % 97u); };
  uint32_t Drops = 0, ModelDrops = 0;
  std::vector<std::size_t> Dropped, Expected;
  std::mt19937 Random(7);
  auto Pick = [&](std::size_t N) { return static_cast<std::size_t>(Random() % N); };
  for (int Step = 0; Step < 30000; ++Step) {
    const std::size_t P = Pick(cParamCount);
    switch (Pick(10)) {
      case 0:
        Subscriptions.TurnOn(P);
        On[P] = true;
        break;
      case 1: {
        static constexpr int32_t cEdges[] = {0, 1, 2, -1, cIdleRequests, INT32_MAX, INT32_MIN, INT32_MIN + 1};
        const auto Value = static_cast<uint32_t>(cEdges[Pick(std::size(cEdges))]);
        Subscriptions.Load(P, Value);
        Count[P] = Value;
        break;
      }
      case 2:
        if (Pick(20) != 0) break;
        ASSERT_EQ(Subscriptions.ForgetAll(), static_cast<uint32_t>(std::count(On.begin(), On.end(), true)));
        On.fill(false);
        break;
      default:
        Dropped.clear();
        Expected.clear();
        if (Subscriptions.Tick()) {
          Subscriptions.DropDue([&](std::size_t I) {
            Dropped.push_back(I);
            if (const std::size_t A = Arriving(++Drops); A < cParamCount) Subscriptions.TurnOn(A);
          });
        }
        for (std::size_t I = 0; I < cParamCount; ++I) {
          if (Count[I] == 0 && On[I]) {
            Expected.push_back(I);
            if (const std::size_t A = Arriving(++ModelDrops); A < cParamCount) On[A] = true;
            On[I] = false;
            Count[I] = cIdleRequests;
          } else {
            --Count[I];
          }
        }
        ASSERT_EQ(Dropped, Expected) << "step " << Step;
    }
    for (std::size_t I = 0; I < cParamCount; ++I) {
      ASSERT_EQ(Subscriptions.Countdown(I), static_cast<int32_t>(Count[I])) << "step " << Step << ", parameter " << I;
      ASSERT_EQ(Subscriptions.IsOn(I), On[I]) << "step " << Step << ", parameter " << I;
    }
  }
}

}  // namespace
}  // namespace zelm
