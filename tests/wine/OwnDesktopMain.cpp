// A Wine test program whose tests meet the stand-in data server or a program of ours:
// before COM makes its apartment window, it moves onto a desktop of its own, so that
// its windows, the stand-in's and the extension's live where no other test can see
// them; this build's DLL is registered for the programs to create.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/wine/DataServer.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (const char* Failed = zelm::wine::SetUpOwnDesktop()) {
    std::fprintf(stderr, "%s\n", Failed);
    return 2;
  }
  const int Result = RUN_ALL_TESTS();
  CoUninitialize();
  return Result;
}
