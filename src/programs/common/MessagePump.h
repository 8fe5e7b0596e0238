// The shipped programs' message loop: the windows of the calling thread (the data
// server's, or the extension's hidden one in the check) take their messages here.
#pragma once

#include <windows.h>

namespace zelm::tools {

// A timer message that names a callback: DispatchMessage would call that address, and
// Windows before Vista does so for a message that any program on the desktop posted. We
// set no timer with a callback, so such a message is never ours.
inline bool IsForeignTimer(const MSG& Message) noexcept {
  constexpr UINT cSystemTimer = 0x0118;  // WM_SYSTIMER
  return (Message.message == WM_TIMER || Message.message == cSystemTimer) && Message.lParam != 0;
}

// Handles what the calling thread's queue holds now; false once WM_QUIT came.
inline bool PumpWaiting() {
  MSG Message;
  while (PeekMessageW(&Message, nullptr, 0, 0, PM_REMOVE)) {
    if (Message.message == WM_QUIT) return false;
    if (IsForeignTimer(Message)) continue;
    TranslateMessage(&Message);
    DispatchMessageW(&Message);
  }
  return true;
}

}  // namespace zelm::tools
