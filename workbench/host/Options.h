// The stand-in host's command line:
//
//   zelm_host --skin FILE [--vars FILE | --saved-in DIR] [--keep-saved] [--fps N] [--frames N]
//             [--format ansi|plain|list] [--screen ROWSxCOLS] [--at FRAME:INPUT]...
//             [--sim-status FILE] [--step-server] [--ds-path TEXT] [--record FILE]
//   zelm_host --check FILE
//
// Portable, so that what each option takes is checked by the native tests; the
// program hands it its arguments as UTF-16.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "programs/common/CommandLine.h"
#include "workbench/host/SkinFile.h"

namespace zelm::tools {

enum class TFormat { Ansi, Plain, List };

struct TOptions {
  std::u16string SkinFile;
  bool CheckOnly = false;  // --check: only check the skin
  std::u16string VarsFile;
  std::u16string SavedIn;  // --saved-in: a folder with a file of saved variables for each skin
  bool KeepSaved = false;  // --keep-saved: a scripted run (--frames) saves too
  std::u16string SimStatus;
  bool StepServer = false;  // --step-server: the frames are the data server's clock (workbench/sim/ServerStep.h)
  std::u16string DsPath;
  std::u16string RecordFile;
  double Fps = 10;
  long Frames = 0;  // 0: until quit
  TFormat Format = TFormat::Ansi;
  int ScreenRows = 0, ScreenCols = 0;      // the terminal's size; 0: not known
  std::multimap<long, std::u16string> At;  // frame -> input line, run before that frame
};

// Reads the arguments after the program's name.
TParsed ParseOptions(const std::vector<std::u16string>& Args, TOptions& Options, std::string& Fault);

// The usage text, one option a line, for --help and after a fault.
std::string Usage();

// Where the skin's saved variables are read from (empty: nowhere) and whether what
// SAVETOSKIN saves is written there: the --vars file, or the skin's own file in the
// --saved-in folder. A run of a set number of frames is a script: it leaves nothing
// behind unless --keep-saved asks for it. FullSkinPath: the skin's file, in full.
struct TSavedFile {
  std::u16string Path;
  bool Write = false;
};
TSavedFile SavedFile(const TOptions& Options, std::u16string_view FullSkinPath, const TSkin& Skin);

// "24x80" (ROWSxCOLS), as --screen takes it.
bool ReadScreen(std::u16string_view Text, int& Rows, int& Cols);

}  // namespace zelm::tools
