// What the tests' stand-in data server (tests/support/wine/StandInServer.cpp) and the programs
// that start it (tests/support/wine/DataServer.h) agree on besides its window's protocol.
#pragma once

#include <windows.h>

#include <string>

namespace zelm::standin {

inline constexpr const wchar_t* cExeName = L"zelm_standin_server.exe";

// The event the stand-in sets once its window is there and ruled: the starter makes it
// before the stand-in runs, named by the stand-in's process id.
inline std::wstring ReadyEventName(DWORD ProcessId) { return L"ZelmKvelStandInReady." + std::to_wstring(ProcessId); }

}  // namespace zelm::standin
