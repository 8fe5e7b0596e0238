// The back-off after a send to a hung data server, on a clock the test turns by hand.
#include <gtest/gtest.h>

#include "core/protocol/SendGate.h"

namespace zelm {
namespace {

constexpr uint32_t cStart = 1'000'000;

TEST(SendGate, OpenUntilASendTimesOut) {
  TSendGate Gate;
  EXPECT_TRUE(Gate.MayTry(0));
  EXPECT_TRUE(Gate.MayTry(cStart));
  // Answered sends never close it, however many.
  for (uint32_t I = 0; I < 10; ++I) {
    Gate.Tried(cStart + I, false);
    EXPECT_TRUE(Gate.MayTry(cStart + I));
  }
}

TEST(SendGate, TimeOutDropsSendsForTheBackOffCountedFromWhenTheWaitEnded) {
  TSendGate Gate;
  ASSERT_TRUE(Gate.MayTry(cStart));
  Gate.Tried(cStart + TSendGate::cSendBoundMs, true);  // gave up after the bound
  const uint32_t GaveUp = cStart + TSendGate::cSendBoundMs;
  EXPECT_FALSE(Gate.MayTry(GaveUp));
  EXPECT_FALSE(Gate.MayTry(GaveUp + 1));
  EXPECT_FALSE(Gate.MayTry(GaveUp + TSendGate::cBackOffMs - 1));
  EXPECT_TRUE(Gate.MayTry(GaveUp + TSendGate::cBackOffMs));
  EXPECT_TRUE(Gate.MayTry(GaveUp + 10 * TSendGate::cBackOffMs));
}

TEST(SendGate, AHungServerCostsOneBoundPerBackOff) {
  // A host polling labels every 10 ms for 10 s against a server that never answers.
  TSendGate Gate;
  uint32_t Now = cStart;
  int Tries = 0;
  uint32_t Waited = 0;
  while (Now < cStart + 10'000) {
    if (Gate.MayTry(Now)) {
      ++Tries;
      Now += TSendGate::cSendBoundMs;
      Waited += TSendGate::cSendBoundMs;
      Gate.Tried(Now, true);
    }
    Now += 10;
  }
  // One try, then one per 2 s back-off (plus the bound and the poll step): 5 tries.
  EXPECT_EQ(Tries, 5);
  EXPECT_LE(Waited, 10'000u / 8);
}

TEST(SendGate, AnAnsweredSendAfterTheBackOffReopensForGood) {
  TSendGate Gate;
  Gate.Tried(cStart, true);
  const uint32_t Later = cStart + TSendGate::cBackOffMs;
  ASSERT_TRUE(Gate.MayTry(Later));
  Gate.Tried(Later + 1, false);  // the server is back
  EXPECT_TRUE(Gate.MayTry(Later + 2));
  // A second time-out closes it again from its own time.
  Gate.Tried(Later + 100, true);
  EXPECT_FALSE(Gate.MayTry(Later + 101));
  EXPECT_TRUE(Gate.MayTry(Later + 100 + TSendGate::cBackOffMs));
}

TEST(SendGate, TheBackOffHoldsAcrossTheWrapOfTheTick) {
  TSendGate Gate;
  const uint32_t NearWrap = 0xFFFFFF00u;
  Gate.Tried(NearWrap, true);
  EXPECT_FALSE(Gate.MayTry(NearWrap + 1000u));  // past the wrap, 1 s later
  EXPECT_FALSE(Gate.MayTry(NearWrap + TSendGate::cBackOffMs - 1));
  EXPECT_TRUE(Gate.MayTry(NearWrap + TSendGate::cBackOffMs));
}

}  // namespace
}  // namespace zelm
