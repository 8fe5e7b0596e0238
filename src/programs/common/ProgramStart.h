// What every workbench program for Windows does first: its arguments as UTF-16, and the
// answer to --help or to a fault in them.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <exception>
#include <string>
#include <vector>

#include "programs/common/CommandLine.h"
#include "programs/common/WideText.h"
#include "win/com/Handles.h"

namespace zelm::tools {

inline std::vector<std::u16string> Arguments() {
  int Count = 0;
  LPWSTR* Args = CommandLineToArgvW(GetCommandLineW(), &Count);
  std::vector<std::u16string> Out;
  for (int I = 1; Args && I < Count; ++I) Out.emplace_back(View16(Args[I]));
  LocalFree(Args);
  return Out;
}

// After reading the options: the exit code when the program stops here (the usage
// after --help, 0; a fault with the usage, 2), or -1 to run.
inline int AnswerOptions(TParsed Parsed, const char* Program, const std::string& Fault, const std::string& Usage) {
  switch (Parsed) {
    case TParsed::Help: std::fputs(Usage.c_str(), stdout); return 0;
    case TParsed::Fault: std::fprintf(stderr, "%s: %s\n%s", Program, Fault.c_str(), Usage.c_str()); return 2;
    case TParsed::Run: break;
  }
  return -1;
}

// A program's main: Run's exit code, or 1 with what escaped it said on standard error.
inline int RunProgram(const char* Program, int (*Run)()) {
  try {
    return Run();
  } catch (const std::exception& E) {
    std::fprintf(stderr, "%s: %s\n", Program, E.what());
    return 1;
  }
}

// The whole file, or false when it cannot be read.
inline bool ReadWholeFile(const std::u16string& Path, std::string& Text) {
  const TFile In(_wfopen(Wide(Path), L"rb"));
  if (!In) return false;
  Text.clear();
  char Buffer[4096];
  for (std::size_t N; (N = std::fread(Buffer, 1, sizeof Buffer, In.Get())) > 0;) Text.append(Buffer, N);
  return true;
}

}  // namespace zelm::tools
