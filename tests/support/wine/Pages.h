// Bytes that end where a readable page ends, before a page nobody may read: whatever
// reads one byte past them faults. For data a test hands the DLL at the edge.
#pragma once

#include <windows.h>

#include <cstddef>

namespace zelm::wine {

// The last Size bytes (at most a page) before the unreadable page; the same page each
// call, kept for the life of the program.
inline BYTE* LastBytesOfAPage(std::size_t Size) {
  static BYTE* const End = [] {
    SYSTEM_INFO System{};
    GetSystemInfo(&System);
    auto* Pages = static_cast<BYTE*>(VirtualAlloc(nullptr, 2 * System.dwPageSize, MEM_COMMIT, PAGE_READWRITE));
    DWORD Before = 0;
    VirtualProtect(Pages + System.dwPageSize, System.dwPageSize, PAGE_NOACCESS, &Before);
    return Pages + System.dwPageSize;
  }();
  return End - Size;
}

}  // namespace zelm::wine
