// What the static C++ runtime needs of the DLL, met so that running out of memory never
// ends the host.
//
// The runtime keeps, for each thread, the exceptions being handled and how many are in
// flight (the C++ ABI's __cxa_eh_globals, handed out by __cxa_get_globals). libstdc++
// keeps them in emulated thread-local storage, which a thread's first throw allocates
// with calloc, calling abort() when that fails: out of memory, the first failure on the
// host's thread would end the front-end instead of answering E_UNEXPECTED. So the DLL
// defines those two functions itself (the linker then takes ours and never links
// libstdc++'s): a fixed table, one record claimed by a thread on its first throw and
// given back when the thread ends. Nothing on the heap, nothing that can fail, and no
// emulated TLS, whose semaphore, TLS index and heap each unload left behind.
//
// The exception object itself comes from malloc, or when that fails from libstdc++'s
// emergency pool, which is made while the DLL loads, before memory can run short.
// libstdc++ gives the pool's 18.5 KB back only at the process's end; we give it back
// when the DLL is unloaded, when nothing of ours can throw any more.
//
// One thing each unload still leaves behind: the unwinder's lock, a semaphore made
// when the DLL's unwind tables are registered at load, which the toolchain gives a
// DLL no way to close.
#include "win/server/Runtime.h"

#include <windows.h>

#include <atomic>

namespace zelm::server {
namespace {

// The record the C++ ABI defines: the chain of exceptions being handled, and the count
// of exceptions thrown and not yet caught.
struct TExceptionState {
  void* CaughtExceptions;
  unsigned int UncaughtExceptions;
};

struct TThreadRecord {
  std::atomic<DWORD> Owner{0};  // thread id; no thread has id 0
  TExceptionState State{};
};

// More threads than a host will ever have throw in this DLL while they live (its
// objects live on the host's one apartment thread).
constexpr int cThreadRecords = 128;
TThreadRecord GRecords[cThreadRecords];
// Should more than that many have thrown here, the rest share this one: two of them
// throwing at the same instant could then spoil each other's state.
TExceptionState GOverflow{};

TExceptionState* StateOfThisThread() noexcept {
  const DWORD Self = GetCurrentThreadId();
  for (TThreadRecord& Record : GRecords)
    if (Record.Owner.load(std::memory_order_acquire) == Self) return &Record.State;
  for (TThreadRecord& Record : GRecords) {
    DWORD Free = 0;
    if (Record.Owner.compare_exchange_strong(Free, Self, std::memory_order_acq_rel)) {
      Record.State = {};
      return &Record.State;
    }
  }
  return &GOverflow;
}

}  // namespace

void ThreadStartsOrEnds() noexcept {
  // A record with this thread's id belongs to a thread that ended without telling us
  // (TerminateThread), or to this one as it ends.
  const DWORD Self = GetCurrentThreadId();
  for (TThreadRecord& Record : GRecords) {
    if (Record.Owner.load(std::memory_order_acquire) != Self) continue;
    Record.State = {};
    Record.Owner.store(0, std::memory_order_release);
  }
}

}  // namespace zelm::server

// The runtime's own names: the ones it calls us by, and the one that gives back its pool.
// NOLINTBEGIN(bugprone-reserved-identifier)
namespace __gnu_cxx {
void __freeres() noexcept;
}  // namespace __gnu_cxx

extern "C" void* __cxa_get_globals() noexcept { return zelm::server::StateOfThisThread(); }
extern "C" void* __cxa_get_globals_fast() noexcept { return zelm::server::StateOfThisThread(); }
// NOLINTEND(bugprone-reserved-identifier)

void zelm::server::RuntimeUnloading() noexcept { __gnu_cxx::__freeres(); }
