#include "tests/support/wine/Imports.h"

#include <cstring>

namespace zelm::wine {

void* PatchImport(HMODULE Module, const char* Dll, const char* Function, void* Replacement) {
  auto* Base = reinterpret_cast<BYTE*>(Module);
  const auto* Dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(Base);
  const auto* Headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(Base + Dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& Imports = Headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* From = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(Base + Imports.VirtualAddress); From->Name;
       ++From) {
    if (_stricmp(reinterpret_cast<const char*>(Base + From->Name), Dll) != 0) continue;
    // The names, and beside them the slots the loader filled with the addresses.
    const auto* Name = reinterpret_cast<const IMAGE_THUNK_DATA*>(Base + From->OriginalFirstThunk);
    auto* Slot = reinterpret_cast<IMAGE_THUNK_DATA*>(Base + From->FirstThunk);
    for (; Name->u1.AddressOfData != 0; ++Name, ++Slot) {
      if (IMAGE_SNAP_BY_ORDINAL(Name->u1.Ordinal)) continue;
      const auto* ByName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(Base + Name->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(ByName->Name), Function) != 0) continue;
      void** Address = reinterpret_cast<void**>(&Slot->u1.Function);
      DWORD Protection = 0;
      if (!VirtualProtect(Address, sizeof *Address, PAGE_READWRITE, &Protection)) return nullptr;
      void* Real = *Address;
      *Address = Replacement;
      VirtualProtect(Address, sizeof *Address, Protection, &Protection);
      return Real;
    }
  }
  return nullptr;
}

namespace {
DWORD GNow = 0xFFFFFC00;  // a second before the 32-bit tick wraps, as on a car PC after 49 days
DWORD WINAPI SteppedTicks() { return GNow; }
}  // namespace

TDllClock::TDllClock(HMODULE Dll)
    : FPatch(Dll, "kernel32.dll", "GetTickCount", reinterpret_cast<void*>(&SteppedTicks)) {}

void TDllClock::Advance(DWORD Ms) { GNow += Ms; }

}  // namespace zelm::wine
