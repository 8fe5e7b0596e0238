// Self-registration (regsvr32): the type library, then the class's eight registry
// entries under HKEY_CLASSES_ROOT; unregistration takes them away again.
#include <olectl.h>

#include <cwchar>
#include <string>

#include "ZelmKvel_TLB.h"
#include "win/server/Server.h"

namespace zelm::server {
namespace {

struct ERegistryEntry {};  // a key that could not be written

std::wstring GuidText(REFGUID Guid) {
  wchar_t Text[40] = {};
  StringFromGUID2(Guid, Text, 40);  // braces, capital hexadecimal digits
  return Text;
}

void WriteEntry(const std::wstring& Key, const wchar_t* ValueName, const std::wstring& Data) {
  HKEY Handle = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, Key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                      nullptr, &Handle, nullptr) != ERROR_SUCCESS)
    throw ERegistryEntry();
  // REG_SZ is stored with its terminating zero.
  const LONG Result =
      RegSetValueExW(Handle, ValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(Data.c_str()),
                     static_cast<DWORD>((Data.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(Handle);
  if (Result != ERROR_SUCCESS) throw ERegistryEntry();
}

// A path with a space goes into InprocServer32 in its 8.3 form, which every loader
// reads without quoting trouble.
std::wstring InprocServerPath(const std::wstring& FileName) {
  if (FileName.find(L' ') == std::wstring::npos) return FileName;
  return PathInForm(FileName, GetShortPathNameW);
}

std::wstring ClassKey() { return L"CLSID\\" + GuidText(CLSID_RRExtension); }

HRESULT Register() {
  const TClassRecord* Record = ClassRecord();
  if (Record == nullptr) {
    ReportError(E_FAIL, GUID_NULL, L"ZelmKvel", LoadFailure().c_str(), 0);
    return E_FAIL;
  }

  const std::wstring& FileName = Record->FileName;
  const std::wstring HelpFolder = FileName.substr(0, FileName.find_last_of(L'\\') + 1);
  if (FAILED(RegisterTypeLib(Record->Library.Get(), const_cast<LPOLESTR>(FileName.c_str()),
                             const_cast<LPOLESTR>(HelpFolder.c_str()))))
    return E_FAIL;

  const TLibAttr Attr(Record->Library.Get());
  if (!Attr) return E_FAIL;
  wchar_t Version[16] = {};
  std::swprintf(Version, 16, L"%d.%d", Attr->wMajorVerNum, Attr->wMinorVerNum);
  const std::wstring LibraryId = GuidText(Attr->guid);

  try {
    const std::wstring Class = ClassKey();
    WriteEntry(Class, nullptr, Record->Description);
    WriteEntry(Class + L"\\InprocServer32", nullptr, InprocServerPath(FileName));
    WriteEntry(Class + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    WriteEntry(Record->ProgId, nullptr, Record->Description);
    WriteEntry(Record->ProgId + L"\\Clsid", nullptr, GuidText(CLSID_RRExtension));
    WriteEntry(Class + L"\\ProgID", nullptr, Record->ProgId);
    WriteEntry(Class + L"\\Version", nullptr, Version);
    WriteEntry(Class + L"\\TypeLib", nullptr, LibraryId);
  } catch (const ERegistryEntry&) {
    ReportError(E_FAIL, GUID_NULL, L"ZelmKvel", L"Error creating system registry entry", 0);
    return E_FAIL;
  }
  return S_OK;
}

using TUnRegisterTypeLib = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

HRESULT Unregister() {
  const TClassRecord* Record = ClassRecord();
  if (Record == nullptr) return E_FAIL;
  {
    const TLibAttr Attr(Record->Library.Get());
    if (!Attr) return E_FAIL;
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
      Class + L"\\TypeLib", Class + L"\\Version", Class + L"\\ProgID", Record->ProgId + L"\\Clsid",
      Record->ProgId,       Class + L"\\InprocServer32", Class,
  };
  for (const auto& Key : Keys) RegDeleteKeyW(HKEY_CLASSES_ROOT, Key.c_str());
  return S_OK;
}

}  // namespace
}  // namespace zelm::server

STDAPI DllRegisterServer() {
  try {
    return zelm::server::Register();
  } catch (...) {
    return E_FAIL;
  }
}

STDAPI DllUnregisterServer() {
  try {
    return zelm::server::Unregister();
  } catch (...) {
    return E_FAIL;
  }
}
