// The label request is the hot path: in the steady state it allocates nothing. This
// program counts every operator new to prove it.
#include <gtest/gtest.h>

// Our replacement new pairs with our replacement delete; GCC cannot see that inlined.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include <atomic>
#include <cstdlib>
#include <new>

#include "support/native/SkinMix.h"

namespace {
std::atomic<long> gAllocations{0};
}

void* operator new(std::size_t Size) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* P = std::malloc(Size ? Size : 1)) return P;
  throw std::bad_alloc();
}
void operator delete(void* P) noexcept { std::free(P); }
void operator delete(void* P, std::size_t) noexcept { std::free(P); }

namespace zelm::testing {
namespace {

TEST(Allocations, SteadyLabelRequestsAllocateNothing) {
  TSteadySkin Skin;
  std::size_t Shown = 0;
  for (int Frame = 0; Frame < 3; ++Frame) Shown += Skin.Frame();  // warm up
  ASSERT_GT(Shown, 0u);
  const long Before = gAllocations.load();
  for (int Frame = 0; Frame < 1000; ++Frame) Shown += Skin.Frame();  // 40000 requests, 400 announcements
  EXPECT_EQ(gAllocations.load() - Before, 0);
  EXPECT_GT(Skin.Link.Sends, 0);  // the announcement went out meanwhile: sends cost nothing either
}

TEST(Allocations, TheCounterSeesAllocations) {
  const long Before = gAllocations.load();
  auto* Text = new std::u16string(100, u'x');
  delete Text;
  EXPECT_GE(gAllocations.load() - Before, 2);
}

}  // namespace
}  // namespace zelm::testing
