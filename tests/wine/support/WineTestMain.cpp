// Every Wine test program runs its tests on one single-threaded apartment, as the
// host's thread is.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  const int Result = RUN_ALL_TESTS();
  CoUninitialize();
  return Result;
}
