// The owner's check as it ships (zelm_check.exe) against the tests' data server when its
// window is there but does not answer, or answers and sends nothing: what only Windows
// decides (the DLL's sends timing out, its trace caught in the check's own process), and
// the verdict and exit code that the check draws from it. Which words each verdict has is
// held natively (tests/programs/CheckToolTest.cpp).
#include <gtest/gtest.h>

#include <string>

#include "tests/support/wine/Com.h"
#include "tests/support/wine/DataServer.h"

namespace zelm::wine {
namespace {

TEST(OwnersCheck, SaysWhatItSawOfADataServerThatHangsOrSendsNothing) {
  struct TCase {
    const char* Rule;
    DWORD Exit;
    const char* Trace;  // what the DLL said of the window, caught by the check
    const char* Verdict;
  };
  for (const TCase& C : {
           TCase{"hang 64 0", 18, ": a send timed out after 250 ms; sends paused",
                 "Verdict: the data server's window \"Morvicantrel\" is there, but it does not\n"
                 "answer: ZelmKvel's messages to it timed out, so the data server hangs."},
           TCase{"silent", 19, "  trace: ZelmKvel: server window found (0x",
                 "Verdict: the data server's window \"Morvicantrel\" takes ZelmKvel's messages,\n"
                 "but it sent no value in 1 second."},
       }) {
    TStandIn Server;
    ASSERT_TRUE(Server.Start({C.Rule}));
    TRunOutput Check = RunToEnd(L"\"" + ProgramFolder() + L"programs\\zelm_check.exe\" --seconds 1", ProgramFolder());
    Server.Release();
    ASSERT_TRUE(Check.Finished) << Check.Output;
    std::erase(Check.Output, '\r');
    EXPECT_EQ(Check.Exit, C.Exit) << Check.Output;
    EXPECT_NE(Check.Output.find(C.Trace), std::string::npos) << Check.Output;
    EXPECT_NE(Check.Output.find(C.Verdict), std::string::npos) << Check.Output;
  }
}

}  // namespace
}  // namespace zelm::wine
