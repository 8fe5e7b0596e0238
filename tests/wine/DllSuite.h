// A GoogleTest suite that loads the DLL beside the program by hand, once for all its
// tests, and lets it go after the last.
#pragma once

#include <gtest/gtest.h>

#include "support/wine/Com.h"

namespace zelm::wine {

class TDllSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Dll = new TLoadedServer(DllPath()); }
  static void TearDownTestSuite() {
    delete Dll;
    Dll = nullptr;
  }
  static inline TLoadedServer* Dll = nullptr;
};

}  // namespace zelm::wine
