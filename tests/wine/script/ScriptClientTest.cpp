// Script clients through Windows Script Host, as a skin's scripts or a host written in
// a script language meet the object: each script checks what it is given and prints its
// marker only when every check held, since cscript exits 0 even on an uncaught error.
#include <gtest/gtest.h>

#include "tests/support/wine/Com.h"
#include "tests/support/wine/DataServer.h"

namespace zelm::wine {
namespace {

TEST(ScriptClients, EachScriptHoldsEveryCheck) {
  const struct {
    const wchar_t* Script;
    const char* Marker;
  } Cases[] = {{L"smoke.js", "ZELMKVEL SMOKE PASSED"},
               {L"smoke.vbs", "ZELMKVEL SMOKE PASSED"},
               {L"skin.js", "ZELMKVEL SKIN PASSED"},
               {L"skin.vbs", "ZELMKVEL SKIN PASSED"}};
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Narrow(Case.Script));
    // Named relative to its folder: cscript takes an argument that starts with '/' for
    // an option of its own.
    const TRunOutput Run = RunToEnd(std::wstring(L"cscript.exe //nologo ") + Case.Script, ProgramFolder() + L"script");
    EXPECT_TRUE(Run.Finished);
    EXPECT_EQ(Run.Exit, 0u);
    EXPECT_NE(Run.Output.find(Case.Marker), std::string::npos) << Run.Output;
  }
}

}  // namespace
}  // namespace zelm::wine
