// zelm_host: a stand-in for the front-end. Creates ZelmKvel.RRExtension through COM
// by its ProgID and drives it as the front-end does: Init with our host API object,
// Initialize, OnLoadSkin, then every label of the skin polled frame after frame, and
// the skin's commands fired by keys. workbench/host/Options.h has the command line. Every
// load checks the skin (workbench/host/SkinCheck.h); --check only does that.
//
// Input comes line by line on standard input (a terminal's keys are forwarded as
// lines by scripts/workbench.sh): a line of one character presses that key of the skin;
// a longer line runs as a command batch ("ce_open", "SETVAR;X;1||quit").
#include <windows.h>
#include <objbase.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "programs/common/ProgramStart.h"
#include "programs/common/Utf.h"
#include "workbench/host/FrameLoop.h"
#include "workbench/host/Options.h"
#include "workbench/host/SkinCheck.h"
#include "workbench/host/SkinFile.h"
#include "programs/common/WideText.h"

namespace zelm::tools {
namespace {

// Whether Path is a folder that is there.
bool IsFolder(const std::u16string& Path) {
  const DWORD Attributes = GetFileAttributesW(Wide(Path));
  return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Whether the folder a file would go into is there: nothing creates it for the user.
bool FolderExists(const std::u16string& Path) {
  const std::size_t Slash = Path.find_last_of(u"\\/");
  if (Slash == std::u16string::npos) return true;
  return IsFolder(Slash == 0 ? Path.substr(0, 1) : Path.substr(0, Slash));
}

std::u16string FullPath(const std::u16string& Path) {
  wchar_t Full[MAX_PATH * 4];
  const DWORD Length = GetFullPathNameW(Wide(Path), MAX_PATH * 4, Full, nullptr);
  if (Length == 0 || Length >= MAX_PATH * 4) return Path;
  return std::u16string(View16(std::wstring_view(Full, Length)));
}

int Main() {
  TOptions Options;
  std::string Fault;
  if (const int Stop = AnswerOptions(ParseOptions(Arguments(), Options, Fault), "zelm_host", Fault, Usage()); Stop >= 0)
    return Stop;
  for (const std::u16string* File : {&Options.VarsFile, &Options.RecordFile}) {
    if (!File->empty() && !FolderExists(*File)) {
      std::fprintf(stderr, "zelm_host: %s %s: its folder does not exist (make it first)\n",
                   File == &Options.VarsFile ? "--vars" : "--record", ToUtf8(*File).c_str());
      return 2;
    }
  }
  if (!Options.SavedIn.empty() && !IsFolder(Options.SavedIn)) {
    std::fprintf(stderr, "zelm_host: --saved-in %s: no such folder (make it first)\n", ToUtf8(Options.SavedIn).c_str());
    return 2;
  }

  SetConsoleOutputCP(CP_UTF8);
  // Lines end as we write them: "\n" for files and pipes, "\r\n" where a terminal in
  // raw mode needs it.
  _setmode(_fileno(stdout), _O_BINARY);
  static char OutBuffer[1 << 16];
  std::setvbuf(stdout, OutBuffer, _IOFBF, sizeof OutBuffer);

  // Paths are shown as the user wrote them. Every problem is said at once: what
  // reading the skin found and what the check finds in what could be read.
  const std::string SkinName = ToUtf8(Options.SkinFile);
  TSkin Skin;
  std::vector<TSkinProblem> Faults;
  LoadSkin(SkinName, Skin, Faults);
  const std::vector<std::string> Problems = CheckSkin(Skin, SkinName, Faults);
  if (Options.CheckOnly) {
    for (const std::string& Problem : Problems) std::printf("%s\n", Problem.c_str());
    if (Problems.empty())
      std::printf("%s: no problem found (%s labels, %s keys)\n", SkinName.c_str(),
                  std::to_string(Skin.Labels.size()).c_str(), std::to_string(Skin.Buttons.size()).c_str());
    else
      std::printf("%s: %s problem%s\n", SkinName.c_str(), std::to_string(Problems.size()).c_str(),
                  Problems.size() == 1 ? "" : "s");
    return Problems.empty() ? 0 : 1;
  }
  // A skin that does not read is not shown: what it would show is not what its author wrote.
  for (const std::string& Problem : Problems) std::fprintf(stderr, "zelm_host: %s\n", Problem.c_str());
  if (!Faults.empty()) return 2;

  StopOnConsoleControl();
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 3;
  int Code = 0;
  {
    THost Host(Options, Skin, Problems, SavedFile(Options, FullPath(Options.SkinFile), Skin));
    Code = Host.Run();
  }
  CoUninitialize();
  return Code;
}

}  // namespace
}  // namespace zelm::tools

int main() { return zelm::tools::RunProgram("zelm_host", zelm::tools::Main); }
