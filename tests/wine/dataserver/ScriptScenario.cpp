// Runs DataServerScenario.js with cscript against the stand-in data server, both on a
// desktop of their own, and checks what the server heard. Prints the script's output;
// CTest looks for the script's success marker, and for "SCENARIO FAILED" from either.
#include <windows.h>

#include <cstdio>
#include <string>

#include "tests/support/wine/Com.h"
#include "tests/support/wine/DataServer.h"

using namespace zelm::wine;

namespace {

int Fail(const std::string& Why, const TStandIn& Server) {
  std::printf("SCENARIO FAILED: %s\n--- stand-in log\n", Why.c_str());
  for (const auto& Line : Server.Lines()) std::printf("%s\n", Line.c_str());
  return 1;
}

}  // namespace

int main() {
  if (const char* Failed = SetUpOwnDesktop()) {
    std::printf("SCENARIO FAILED: %s\n", Failed);
    return 1;
  }
  TStandIn Server;
  if (!Server.Start({"value 1 87|Vehicle speed,km/h"})) return Fail("the stand-in did not start", Server);

  // cscript takes an argument that starts with '/' for an option: the script is named
  // relative to its folder, the working directory.
  TRunToEnd Script;
  const char* Failed = RunToEnd(L"cscript.exe //nologo DataServerScenario.js", Script, ProgramFolder());
  std::printf("--- script output\n%s", Script.Output.c_str());
  if (Failed) return Fail(std::string("the script: ") + Failed, Server);
  if (Script.Exit != 0) return Fail("the script exited with " + std::to_string(Script.Exit), Server);
  if (Script.Output.find("ZELM-SCRIPT-OK") == std::string::npos) return Fail("no success marker", Server);

  // What the server heard: the announcement of a window of the script's process, the
  // Init and Initialize pair, the Add, and the close.
  const auto Heard = Server.Controls();
  if (Heard.empty() || Heard[0].Id != 64 || Heard[0].Owner != Script.Id)
    return Fail("the first message was not the script's announcement", Server);
  const std::string Expected =
      Msg(64, Heard[0].D1) + " " + Msg(64, Heard[0].D1) + " " + Msg(129) + " " + Msg(80, 1) + " " + Msg(130);
  if (Sequence(Heard) != Expected) return Fail("heard " + Sequence(Heard) + ", expected " + Expected, Server);
  std::printf("script scenario: passed (%s)\n", Expected.c_str());
  return 0;
}
