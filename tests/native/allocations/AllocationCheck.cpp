// The label request is the hot path: in the steady state it allocates nothing. This
// program counts every operator new to prove it.
#include <gtest/gtest.h>

// Our replacement new pairs with our replacement delete; GCC cannot see that inlined.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "tests/support/native/SkinMix.h"

namespace {
std::atomic<long> gAllocations{0};
}

// The global allocation functions themselves: raw memory is what they deal in.
void* operator new(std::size_t Size) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* P = std::malloc(Size ? Size : 1)) return P;  // NOLINT(cppcoreguidelines-owning-memory)
  throw std::bad_alloc();
}
void operator delete(void* P) noexcept { std::free(P); }               // NOLINT(cppcoreguidelines-owning-memory)
void operator delete(void* P, std::size_t) noexcept { std::free(P); }  // NOLINT(cppcoreguidelines-owning-memory)

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
  std::make_unique<std::u16string>(100, u'x').reset();
  EXPECT_GE(gAllocations.load() - Before, 2);
}

}  // namespace
}  // namespace zelm::testing
