// The owner's check as it ships (zelm_check.exe) against the tests' data server when its
// window is there but does not answer, or answers and sends nothing: what only Windows
// decides (the DLL's sends timing out, its trace caught in the check's own process), and
// the verdict and exit code that the check draws from it. Which words each verdict has is
// held natively (tests/programs/CheckToolTest.cpp).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "programs/common/ProgramStart.h"
#include "tests/support/wine/Com.h"
#include "tests/support/wine/DataServer.h"

namespace zelm::wine {
namespace {

// zelm_check run to its end on our desktop: its exit code and what it printed.
::testing::AssertionResult RunCheck(DWORD& ExitCode, std::string& Output) {
  wchar_t Temp[MAX_PATH];
  GetTempPathW(MAX_PATH, Temp);
  const std::wstring Path = std::wstring(Temp) + L"zelm-check-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
  {
    SECURITY_ATTRIBUTES Inherited{sizeof Inherited, nullptr, TRUE};
    const TFileHandle File(CreateFileW(Path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &Inherited, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_TEMPORARY, nullptr));
    TChildProcess Check;
    if (!File || !Check.Start(L"\"" + ProgramFolder() + L"programs\\zelm_check.exe\" --seconds 1", {}, File.Get()))
      return ::testing::AssertionFailure() << "zelm_check.exe did not start";
    if (!Check.Ended(ExitCode)) return ::testing::AssertionFailure() << "zelm_check.exe did not end";
  }
  const bool Read = tools::ReadWholeFile(std::u16string(reinterpret_cast<const char16_t*>(Path.c_str())), Output);
  DeleteFileW(Path.c_str());
  std::erase(Output, '\r');
  return Read ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << "its output is gone";
}

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
    DWORD Exit = 0;
    std::string Output;
    ASSERT_TRUE(RunCheck(Exit, Output));
    Server.Release();
    EXPECT_EQ(Exit, C.Exit) << Output;
    EXPECT_NE(Output.find(C.Trace), std::string::npos) << Output;
    EXPECT_NE(Output.find(C.Verdict), std::string::npos) << Output;
  }
}

}  // namespace
}  // namespace zelm::wine

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // A desktop of our own, where the check finds the stand-in's window and no other; this
  // build's DLL registered for it to create.
  if (const char* Failed = zelm::wine::SetUpOwnDesktop()) {
    std::fprintf(stderr, "%s\n", Failed);
    return 2;
  }
  return RUN_ALL_TESTS();
}
