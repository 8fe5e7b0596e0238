// The system's handles that the shell, the tools and the tests hold, each with its
// owner (win/com/Owned.h): nothing closes one of these by hand.
#pragma once

#include <windows.h>

#include <cstdio>

#include "win/com/Owned.h"

namespace zelm {

struct TRegistryKeyKind {
  using TValue = HKEY;
  static HKEY Empty() noexcept { return nullptr; }
  static void Close(HKEY Key) noexcept { RegCloseKey(Key); }
};

// A kernel object that is null when there is none (a thread, a process, an event, a job).
struct THandleKind {
  using TValue = HANDLE;
  static HANDLE Empty() noexcept { return nullptr; }
  static void Close(HANDLE Handle) noexcept { CloseHandle(Handle); }
};

// A file from CreateFileW, which says "none" otherwise.
struct TFileHandleKind {
  using TValue = HANDLE;
  static HANDLE Empty() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE Handle) noexcept { CloseHandle(Handle); }
};

struct TFileKind {
  using TValue = FILE*;
  static FILE* Empty() noexcept { return nullptr; }
  static void Close(FILE* File) noexcept { std::fclose(File); }
};

// A window of the calling thread's (only its own thread can destroy it).
struct TWindowKind {
  using TValue = HWND;
  static HWND Empty() noexcept { return nullptr; }
  static void Close(HWND Window) noexcept { DestroyWindow(Window); }
};

struct THookKind {
  using TValue = HHOOK;
  static HHOOK Empty() noexcept { return nullptr; }
  static void Close(HHOOK Hook) noexcept { UnhookWindowsHookEx(Hook); }
};

using TRegistryKey = TOwned<TRegistryKeyKind>;
using THandle = TOwned<THandleKind>;
using TFileHandle = TOwned<TFileHandleKind>;
using TFile = TOwned<TFileKind>;
using TWindow = TOwned<TWindowKind>;
using THook = TOwned<THookKind>;

}  // namespace zelm
