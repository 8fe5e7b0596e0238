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

  // The script's output goes to a file: Wine's helpers may hold a pipe open long after.
  wchar_t Temp[MAX_PATH];
  GetTempPathW(MAX_PATH, Temp);
  const std::wstring OutPath = std::wstring(Temp) + L"zelm-script-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
  SECURITY_ATTRIBUTES Inherit{sizeof Inherit, nullptr, TRUE};
  zelm::TFileHandle Out(CreateFileW(OutPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &Inherit,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!Out) return Fail("cannot make the output file", Server);

  std::wstring Desktop = CurrentDesktopName();
  STARTUPINFOW Startup{};
  Startup.cb = sizeof Startup;
  Startup.lpDesktop = Desktop.data();
  Startup.dwFlags = STARTF_USESTDHANDLES;
  Startup.hStdInput = nullptr;
  Startup.hStdOutput = Out.Get();
  Startup.hStdError = Out.Get();
  // cscript takes an argument that starts with '/' for an option: the script is named
  // relative to its folder, the working directory.
  std::wstring CommandLine = L"cscript.exe //nologo DataServerScenario.js";
  const std::wstring Folder = ProgramFolder();
  PROCESS_INFORMATION Script{};
  const BOOL Started = CreateProcessW(nullptr, CommandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, Folder.c_str(),
                                      &Startup, &Script);
  if (!Started) return Fail("cscript did not start (" + std::to_string(GetLastError()) + ")", Server);
  Out.Reset();
  const zelm::THandle Process(Script.hProcess), Thread(Script.hThread);
  const bool Finished = WaitForSingleObject(Process.Get(), 60000) == WAIT_OBJECT_0;
  if (!Finished) TerminateProcess(Process.Get(), 1);
  DWORD Exit = 1;
  GetExitCodeProcess(Process.Get(), &Exit);
  const DWORD ScriptPid = Script.dwProcessId;

  std::string Output;
  if (const zelm::TFile File(_wfopen(OutPath.c_str(), L"rb")); File) {
    char Buffer[4096];
    std::size_t Read;
    while ((Read = std::fread(Buffer, 1, sizeof Buffer, File.Get())) > 0) Output.append(Buffer, Read);
  }
  DeleteFileW(OutPath.c_str());
  std::printf("--- script output\n%s", Output.c_str());

  if (!Finished) return Fail("the script did not finish", Server);
  if (Exit != 0) return Fail("the script exited with " + std::to_string(Exit), Server);
  if (Output.find("ZELM-SCRIPT-OK") == std::string::npos) return Fail("no success marker", Server);

  // What the server heard: the announcement of a window of the script's process, the
  // Init and Initialize pair, the Add, and the close.
  const auto Heard = Server.Controls();
  if (Heard.empty() || Heard[0].Id != 64 || Heard[0].Owner != ScriptPid)
    return Fail("the first message was not the script's announcement", Server);
  const std::string Expected =
      Msg(64, Heard[0].D1) + " " + Msg(64, Heard[0].D1) + " " + Msg(129) + " " + Msg(80, 1) + " " + Msg(130);
  if (Sequence(Heard) != Expected) return Fail("heard " + Sequence(Heard) + ", expected " + Expected, Server);
  std::printf("script scenario: passed (%s)\n", Expected.c_str());
  return 0;
}
