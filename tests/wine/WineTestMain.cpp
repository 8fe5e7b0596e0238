// Every Wine test program runs its tests on one single-threaded apartment, as the
// host's thread is, from a known state of the prefix.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include "tests/support/wine/Com.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  zelm::wine::StartFromKnownPrefix();
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  const int Result = RUN_ALL_TESTS();
  CoUninitialize();
  return Result;
}
