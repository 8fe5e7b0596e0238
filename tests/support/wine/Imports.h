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

// An import slot pointed elsewhere for as long as this lives, and the real function put
// back after (the module must stay loaded meanwhile).
class TImportPatch {
 public:
  TImportPatch(HMODULE Module, const char* Dll, const char* Function, void* Replacement)
      : FModule(Module), FDll(Dll), FFunction(Function), FReal(PatchImport(Module, Dll, Function, Replacement)) {}
  // Replacement of the function's own type; Real is then the real one, as that type.
  template <class TFunction>
  TImportPatch(HMODULE Module, const char* Dll, const char* Function, TFunction* Replacement, TFunction*& Real)
      : TImportPatch(Module, Dll, Function, reinterpret_cast<void*>(Replacement)) {
    Real = reinterpret_cast<TFunction*>(FReal);
  }
  ~TImportPatch() {
    if (FReal) PatchImport(FModule, FDll, FFunction, FReal);
  }
  TImportPatch(const TImportPatch&) = delete;
  TImportPatch& operator=(const TImportPatch&) = delete;
  explicit operator bool() const { return FReal != nullptr; }
  void* Real() const { return FReal; }

 private:
  HMODULE FModule;
  const char* FDll;
  const char* FFunction;
  void* FReal;
};

// The DLL's clock (its GetTickCount), which moves only when the test moves it: where
// the DLL's timing matters, the test steps time and looks at each step.
class TDllClock {
 public:
  explicit TDllClock(HMODULE Dll);
  explicit operator bool() const { return static_cast<bool>(FPatch); }
  void Advance(DWORD Ms);

 private:
  TImportPatch FPatch;
};

// The DLL as this process loaded it (by hand or through COM).
inline HMODULE LoadedDll() { return GetModuleHandleW(L"ZelmKvel.dll"); }

}  // namespace zelm::wine
