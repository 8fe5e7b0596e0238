// A loaded DLL's import slots pointed at functions of the test's, in this process only:
// the way to make the real DLL meet a failing allocator, registry or window call, or a
// clock the test steps, without a hook in the shipped binary. What runs in DllMain
// while the DLL loads is out of its reach.
#pragma once

#include <windows.h>

namespace zelm::wine {

// Points Module's import of Function from Dll at Replacement and answers what the slot
// held before (the real function), or null when Module imports no such function.
void* PatchImport(HMODULE Module, const char* Dll, const char* Function, void* Replacement);

// The same for a function given by its type, answering the real one as that type.
template <class TFunction>
TFunction* PatchImport(HMODULE Module, const char* Dll, const char* Function, TFunction* Replacement) {
  return reinterpret_cast<TFunction*>(PatchImport(Module, Dll, Function, reinterpret_cast<void*>(Replacement)));
}

}  // namespace zelm::wine
