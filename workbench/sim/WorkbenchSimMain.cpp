// zelm_sim_workbench: the workbench's data server. The demo data server (zelm_sim) with
// the switches that the workbench's script and its tests need: a status file that
// always names the window served and its subscriptions, an end with standard input or
// after a time, and a clock that only the stand-in front-end's frames move.
//
//   zelm_sim_workbench [zelm_sim's options] [--status FILE] [--quit-on-eof]
//                      [--run-seconds N] [--stepped]
#include <windows.h>

#include <cstdio>
#include <exception>

#include "ZelmKvelVersion.h"
#include "programs/common/ProgramStart.h"
#include "programs/sim/SimProgram.h"
#include "workbench/sim/ServerStep.h"
#include "workbench/sim/WorkbenchSimOptions.h"

namespace zelm::tools {
namespace {

// The status file always holds the current window and subscriptions: written beside and
// moved over, so a reader never sees half of it.
void WriteStatus(const std::u16string& Path, TSimProgram& Program) {
  const std::u16string Temporary = Path + u".new";
  {
    const TFile Out(_wfopen(Wide(Temporary), L"wb"));
    if (!Out) return;
    const std::string Text =
        "window " + Program.HandleText() + "\nsubscribed " + Program.Window().Server().SubscribedText() + "\n";
    std::fwrite(Text.data(), 1, Text.size(), Out.Get());
  }
  MoveFileExW(Wide(Temporary), Wide(Path), MOVEFILE_REPLACE_EXISTING);
}

int Run() {
  TWorkbenchSimOptions Options;
  std::string Fault;
  const std::string Usage =
      WorkbenchSimUsage() + "zelm_sim_workbench " ZELM_VERSION_TEXT ", the ZelmKvel workbench's data server\n";
  if (const int Stop =
          AnswerOptions(ParseWorkbenchSimOptions(Arguments(), Options, Fault), "zelm_sim_workbench", Fault, Usage);
      Stop >= 0)
    return Stop;
  TSimProgram Program(Options.Sim);
  if (const int Stop = Program.Start(); Stop >= 0) return Stop;
  Program.QuitOnEof = Options.QuitOnEof;
  Program.Ticking = !Options.Stepped;
  if (!Options.StatusFile.empty()) {
    Program.OnStateChanged = [&] { WriteStatus(Options.StatusFile, Program); };
    WriteStatus(Options.StatusFile, Program);
  }
  if (Options.RunSeconds > 0)
    Program.AfterTick = [&](double Elapsed) {
      if (Elapsed >= Options.RunSeconds) Program.Stop();
    };
  // Everything a frame asked for is answered before the host's next frame: the step
  // runs the tick inside the window procedure.
  if (Options.Stepped)
    Program.Window().OnMessage = [&](UINT Message, WPARAM WParam, LPARAM, LRESULT&) {
      if (Message != cServerStepMessage) return false;
      Program.Advance(static_cast<double>(WParam) / 1e6);
      return true;
    };
  const int Code = Program.Run(Options.Stepped ? ", stepped by the host" : "");
  if (!Options.StatusFile.empty()) DeleteFileW(Wide(Options.StatusFile));
  return Code;
}

}  // namespace
}  // namespace zelm::tools

int main() { return zelm::tools::RunProgram("zelm_sim_workbench", zelm::tools::Run); }
