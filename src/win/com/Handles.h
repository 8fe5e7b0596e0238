// The system's handles that the shell, the tools and the tests hold, each with its
// owner (win/com/Owned.h): nothing closes one of these by hand.
#pragma once

#include <windows.h>

#include <cstdio>

#include "win/com/Owned.h"

namespace zelm {

// A handle that is null when there is none, given back by CloseFunction.
template <class T, auto CloseFunction>
struct TNullKind {
  using TValue = T;
  static T Empty() noexcept { return nullptr; }
  static void Close(T Value) noexcept { CloseFunction(Value); }
};

// A handle that is INVALID_HANDLE_VALUE when there is none (a file from CreateFileW, a
// search from FindFirstFileW), given back by CloseFunction.
template <auto CloseFunction>
struct TInvalidKind {
  using TValue = HANDLE;
  static HANDLE Empty() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE Handle) noexcept { CloseFunction(Handle); }
};

using TRegistryKey = TOwned<TNullKind<HKEY, RegCloseKey>>;
// A kernel object: a thread, a process, an event, a job.
using THandle = TOwned<TNullKind<HANDLE, CloseHandle>>;
using TFileHandle = TOwned<TInvalidKind<CloseHandle>>;
using TFindHandle = TOwned<TInvalidKind<FindClose>>;
using TFile = TOwned<TNullKind<FILE*, std::fclose>>;
// A window of the calling thread's (only its own thread can destroy it).
using TWindow = TOwned<TNullKind<HWND, DestroyWindow>>;
using THook = TOwned<TNullKind<HHOOK, UnhookWindowsHookEx>>;
// What the system handed out with LocalAlloc (an access-control list, a message text).
using TLocalMemory = TOwned<TNullKind<HLOCAL, LocalFree>>;

// A critical section: the lock of data that threads share, held for a scope by
// std::lock_guard<TLock>.
class TLock {
 public:
  TLock() noexcept { InitializeCriticalSection(&FSection); }
  ~TLock() { DeleteCriticalSection(&FSection); }
  TLock(const TLock&) = delete;
  TLock& operator=(const TLock&) = delete;
  void lock() noexcept { EnterCriticalSection(&FSection); }
  void unlock() noexcept { LeaveCriticalSection(&FSection); }

 private:
  CRITICAL_SECTION FSection;
};

}  // namespace zelm
