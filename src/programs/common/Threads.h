// Threads for the Windows programs without the C++ thread library: what ships is built
// with the win32 thread model, whose runtime has no std::thread or std::mutex (and
// the posix model's threads library imports what Windows XP lacks).
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "win/com/Handles.h"

namespace zelm::tools {

inline DWORD WINAPI RunBody(LPVOID Parameter) {
  std::unique_ptr<std::function<void()>> Body(static_cast<std::function<void()>*>(Parameter));
  (*Body)();
  return 0;
}

// Runs Body on a thread of its own that nobody waits for.
inline bool RunDetached(std::function<void()> Body) {
  auto Owned = std::make_unique<std::function<void()>>(std::move(Body));
  const THandle Thread(CreateThread(nullptr, 0, RunBody, Owned.get(), 0, nullptr));
  if (!Thread) return false;
  (void)Owned.release();  // the thread's now
  return true;
}

}  // namespace zelm::tools
