// The shell's two portable pieces, natively: the rule by which a failure leaves an
// entry point (win/com/ErrorBoundary.h), and the owner of the system's handles
// (win/com/Owned.h). What COM and Windows add to them is tested under Wine.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "win/com/ErrorBoundary.h"
#include "win/com/Owned.h"

namespace zelm {
namespace {

TEST(ErrorBoundary, EachFailureLeavesWithItsCodeItsMessageAndWhatTheEntryPointAnswers) {
  constexpr int32_t cHostCode = static_cast<int32_t>(0x80040200u);
  struct TCase {
    const char* Name;
    std::function<void()> Body;
    int32_t Code;
    std::u16string Message;
    uint32_t HelpContext;
  };
  const TCase Cases[] = {
      {"a host call's failure keeps its code", [] { throw EZelmError(cHostCode, u"Variable store locked", 77); },
       cHostCode, u"Variable store locked", 77},
      {"a failure without a failure code", [] { throw EZelmError(0, u"No code"); }, cUnexpected, u"No code", 0},
      {"a success code is no failure code", [] { throw EZelmError(1, u"S_FALSE"); }, cUnexpected, u"S_FALSE", 0},
      {"out of memory", [] { throw std::bad_alloc(); }, cUnexpected, u"Out of memory", 0},
      {"the runtime's own", [] { throw std::out_of_range("vector::at"); }, cUnexpected, u"vector::at", 0},
      {"a long message is cut", [] { throw std::runtime_error(std::string(300, 'x')); }, cUnexpected,
       std::u16string(255, u'x'), 0},
      {"anything else", [] { throw 42; }, cUnexpected, u"Unexpected failure", 0},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    std::vector<std::u16string> Reports;
    int32_t Code = 0;
    uint32_t HelpContext = 0;
    const int32_t Answer = Guard(Case.Body, [&](int32_t C, const char16_t* Message, uint32_t Help) noexcept {
      Reports.emplace_back(Message);
      Code = C;
      HelpContext = Help;
      return C ^ 1;  // the entry point decides its answer
    });
    EXPECT_EQ(Answer, Case.Code ^ 1);
    ASSERT_EQ(Reports.size(), 1u);
    EXPECT_EQ(Reports[0], Case.Message);
    EXPECT_EQ(Code, Case.Code);
    EXPECT_EQ(HelpContext, Case.HelpContext);
    EXPECT_EQ(Contain(Case.Body), Case.Code);
  }
  // A body that completes answers 0 and reports nothing.
  int Reported = 0;
  EXPECT_EQ(Guard([] {}, [&](int32_t, const char16_t*, uint32_t) noexcept { return ++Reported; }), 0);
  EXPECT_EQ(Reported, 0);
  EXPECT_EQ(Contain([] {}), 0);
}

// Handles that are numbers, 0 holding nothing; every close is noted.
struct TNotedKind {
  using TValue = int;
  static int Empty() noexcept { return 0; }
  static void Close(int Value) noexcept { Closed.push_back(Value); }
  static inline std::vector<int> Closed;
};

TEST(Owned, EveryHandleIsClosedOnceWhicheverWayItGoes) {
  using TNoted = TOwned<TNotedKind>;
  TNotedKind::Closed.clear();
  {
    TNoted A(1), B(2), C(3), D(4), Nothing;
    B.Reset(5);
    *C.Out() = 6;
    D = std::move(A);
    TNoted E(std::move(B));
    EXPECT_EQ(E.Detach(), 5);  // handed over: not ours to close
    TNoted& Same = D;
    D = std::move(Same);
    EXPECT_EQ(TNotedKind::Closed, (std::vector<int>{2, 3, 4}));
    EXPECT_FALSE(A);  // NOLINT(bugprone-use-after-move): what a moved-from owner holds is the point
    EXPECT_FALSE(Nothing);
    EXPECT_EQ(D.Get(), 1);
  }
  EXPECT_EQ(TNotedKind::Closed, (std::vector<int>{2, 3, 4, 1, 6}));
}

}  // namespace
}  // namespace zelm
