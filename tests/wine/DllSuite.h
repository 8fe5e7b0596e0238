// A GoogleTest suite that loads the DLL beside the program by hand, once for all its
// tests, and lets it go after the last.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "tests/support/wine/Com.h"

namespace zelm::wine {

class TDllSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Dll = std::make_unique<TLoadedServer>(DllPath()); }
  static void TearDownTestSuite() { Dll.reset(); }
  static inline std::unique_ptr<TLoadedServer> Dll;
};

}  // namespace zelm::wine
