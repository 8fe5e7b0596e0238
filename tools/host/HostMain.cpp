// zelm_host: a stand-in for the front-end. Creates ZelmKvel.RRExtension through COM
// by its ProgID and drives it as the front-end does: Init with our host API object,
// Initialize, OnLoadSkin, then every label of the skin polled frame after frame, and
// the skin's commands fired by keys. tools/host/Options.h has the command line.
//
// Input comes line by line on standard input (a terminal's keys are forwarded as
// lines by scripts/bench.sh): a line of one character presses that key of the skin;
// a longer line runs as a command batch ("ce_open", "SETVAR;X;1||quit").
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cwchar>
#include <exception>
#include <string>
#include <vector>

#include "tools/common/Utf.h"
#include "tools/host/FrameLoop.h"
#include "tools/host/Options.h"
#include "tools/host/SkinFile.h"

namespace zelm::bench {
namespace {

std::vector<std::u16string> Arguments() {
  int Count = 0;
  LPWSTR* Args = CommandLineToArgvW(GetCommandLineW(), &Count);
  std::vector<std::u16string> Out;
  for (int I = 1; Args && I < Count; ++I)
    Out.emplace_back(reinterpret_cast<const char16_t*>(Args[I]), std::wcslen(Args[I]));
  LocalFree(Args);
  return Out;
}

int Main() {
  TOptions Options;
  std::string Fault;
  switch (ParseOptions(Arguments(), Options, Fault)) {
    case TParsed::Help:
      std::fputs(Usage().c_str(), stdout);
      return 0;
    case TParsed::Fault:
      std::fprintf(stderr, "zelm_host: %s\n%s", Fault.c_str(), Usage().c_str());
      return 2;
    case TParsed::Run:
      break;
  }

  SetConsoleOutputCP(CP_UTF8);
  // Lines end as we write them: "\n" for files and pipes, "\r\n" where a terminal in
  // raw mode needs it.
  _setmode(_fileno(stdout), _O_BINARY);
  static char OutBuffer[1 << 16];
  std::setvbuf(stdout, OutBuffer, _IOFBF, sizeof OutBuffer);

  TSkin Skin;
  std::string Error;
  if (!LoadSkin(ToUtf8(Options.SkinFile), Skin, Error)) {
    std::fprintf(stderr, "zelm_host: %s\n", Error.c_str());
    return 2;
  }
  StopOnConsoleControl();
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 3;
  int Code = 0;
  {
    THost Host(Options, Skin);
    Code = Host.Run();
  }
  CoUninitialize();
  return Code;
}

}  // namespace
}  // namespace zelm::bench

int main() {
  try {
    return zelm::bench::Main();
  } catch (const std::exception& E) {
    std::fprintf(stderr, "zelm_host: %s\n", E.what());
    return 1;
  }
}
