// What the static C++ runtime needs of the DLL (win/server/Runtime.cpp says why), told
// by DllMain.
#pragma once

namespace zelm::server {

// A thread starts, or ends, in the host's process.
void ThreadStartsOrEnds() noexcept;
// FreeLibrary unloads the DLL: what the runtime keeps for the process goes now.
void RuntimeUnloading() noexcept;

}  // namespace zelm::server
