// Self-registration (regsvr32): the type library, then the class's eight registry
// entries under HKEY_CLASSES_ROOT; unregistration takes them away again.
#include <olectl.h>

#include <cwchar>
#include <new>
#include <string>

#include "ZelmKvel_TLB.h"
#include "win/com/ErrorBoundary.h"
#include "win/com/Handles.h"
#include "win/platform/Names.h"
#include "win/server/Server.h"

namespace zelm::server {
namespace {

// One string value under HKEY_CLASSES_ROOT (ValueName null: the key's unnamed one).
struct TEntry {
  std::wstring Key;
  const wchar_t* ValueName;
  std::wstring Data;
};

// Creates or opens the key, sets the value, closes the key; false when either failed.
bool Write(const TEntry& Entry) {
  TRegistryKey Key;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, Entry.Key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                      Key.Out(), nullptr) != ERROR_SUCCESS)
    return false;
  // REG_SZ is stored with its terminating zero.
  return RegSetValueExW(Key.Get(), Entry.ValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(Entry.Data.c_str()),
                        static_cast<DWORD>(Entry.Data.size() + 1) * DWORD{sizeof(wchar_t)}) == ERROR_SUCCESS;
}

// A path with a space goes into InprocServer32 in its 8.3 form, which every loader
// reads without quoting trouble.
std::wstring InprocServerPath(const std::wstring& FileName) {
  if (FileName.find(L' ') == std::wstring::npos) return FileName;
  return PathInForm(FileName, GetShortPathNameW);
}

std::wstring ClassKey() { return L"CLSID\\" + GuidText(CLSID_RRExtension); }

constexpr const wchar_t* cRegistryEntryFailed = L"Error creating system registry entry";

// Registration's failures say why (regsvr32 may show it) and answer E_FAIL.
HRESULT RegistrationFailed(const wchar_t* Description) noexcept {
  ReportError(E_FAIL, GUID_NULL, L"ZelmKvel", Description, 0);
  return E_FAIL;
}

HRESULT Register() {
  TLoadFailure Failure;
  const TClassRecord* Record = ClassRecord(Failure);
  if (Record == nullptr) return RegistrationFailed(Failure.Description);

  const std::wstring& FileName = Record->FileName;
  const std::wstring HelpFolder = FileName.substr(0, FileName.find_last_of(L'\\') + 1);
  // The type library's own entries come first: none of ours without them.
  if (FAILED(RegisterTypeLib(Record->Library.Get(), const_cast<LPOLESTR>(FileName.c_str()),
                             const_cast<LPOLESTR>(HelpFolder.c_str()))))
    return RegistrationFailed(cRegistryEntryFailed);

  // Attributes of a library that was read already: only memory can fail them.
  const TLibAttr Attr(Record->Library.Get());
  if (!Attr) throw std::bad_alloc();
  wchar_t Version[16] = {};
  std::swprintf(Version, 16, L"%d.%d", Attr->wMajorVerNum, Attr->wMinorVerNum);

  // In this order; the first that cannot be written stops it, and those before stay.
  const std::wstring Class = ClassKey();
  const TEntry Entries[] = {
      {Class, nullptr, Record->Description},
      {Class + L"\\InprocServer32", nullptr, InprocServerPath(FileName)},
      {Class + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
      {Record->ProgId, nullptr, Record->Description},
      {Record->ProgId + L"\\Clsid", nullptr, GuidText(CLSID_RRExtension)},
      {Class + L"\\ProgID", nullptr, Record->ProgId},
      {Class + L"\\Version", nullptr, Version},
      {Class + L"\\TypeLib", nullptr, GuidText(Attr->guid)},
  };
  for (const TEntry& Entry : Entries)
    if (!Write(Entry)) return RegistrationFailed(cRegistryEntryFailed);
  return S_OK;
}

using TUnRegisterTypeLib = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

HRESULT Unregister() {
  TLoadFailure Failure;
  const TClassRecord* Record = ClassRecord(Failure);
  if (Record == nullptr) return RegistrationFailed(Failure.Description);
  {
    const TLibAttr Attr(Record->Library.Get());
    if (!Attr) throw std::bad_alloc();  // a library read already: only memory fails it
    // Older automation libraries lack UnRegisterTypeLib; its result does not matter.
    if (HMODULE Automation = GetModuleHandleW(L"oleaut32.dll")) {
      if (FARPROC Proc = GetProcAddress(Automation, "UnRegisterTypeLib")) {
        const auto UnRegister = reinterpret_cast<TUnRegisterTypeLib>(reinterpret_cast<void*>(Proc));
        UnRegister(Attr->guid, Attr->wMajorVerNum, Attr->wMinorVerNum, Attr->lcid, Attr->syskind);
      }
    }
  }

  // Each key by itself, sub-keys first; a key that is not there is no failure.
  const std::wstring Class = ClassKey();
  const std::wstring Keys[] = {
      Class + L"\\TypeLib",
      Class + L"\\Version",
      Class + L"\\ProgID",
      Record->ProgId + L"\\Clsid",
      Record->ProgId,
      Class + L"\\InprocServer32",
      Class,
  };
  for (const auto& Key : Keys) RegDeleteKeyW(HKEY_CLASSES_ROOT, Key.c_str());
  return S_OK;
}

// regsvr32's entry points answer S_OK or E_FAIL: whatever else stops one (out of
// memory) is E_FAIL too, and said.
template <class TStep>
HRESULT RegistrationStep(TStep Step) noexcept {
  HRESULT Result = S_OK;
  const HRESULT Failure =
      Guard([&] { Result = Step(); },
            [](int32_t, const char16_t* Message, uint32_t) noexcept { return RegistrationFailed(WideText(Message)); });
  return Failure != 0 ? Failure : Result;
}

}  // namespace
}  // namespace zelm::server

STDAPI DllRegisterServer() { return zelm::server::RegistrationStep(zelm::server::Register); }

STDAPI DllUnregisterServer() { return zelm::server::RegistrationStep(zelm::server::Unregister); }
