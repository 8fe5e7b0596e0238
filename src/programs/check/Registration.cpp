#include "programs/check/Registration.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <optional>
#include <string>

#include "ZelmKvel_TLB.h"
#include "programs/common/WideText.h"
#include "win/com/Handles.h"
#include "win/platform/Names.h"

namespace zelm::tools {
namespace {

// A string value (Name null: the key's unnamed one), expanded; none when it is not there.
std::optional<std::wstring> ReadString(HKEY Root, const std::wstring& Key, const wchar_t* Name) {
  TRegistryKey Handle;
  if (RegOpenKeyExW(Root, Key.c_str(), 0, KEY_QUERY_VALUE, Handle.Out()) != ERROR_SUCCESS) return std::nullopt;
  wchar_t Value[1024] = {};
  DWORD Size = sizeof Value - sizeof(wchar_t);
  DWORD Type = 0;
  if (RegQueryValueExW(Handle.Get(), Name, nullptr, &Type, reinterpret_cast<BYTE*>(Value), &Size) != ERROR_SUCCESS ||
      (Type != REG_SZ && Type != REG_EXPAND_SZ))
    return std::nullopt;
  if (Type == REG_SZ) return std::wstring(Value);
  wchar_t Expanded[1024] = {};
  ExpandEnvironmentStringsW(Value, Expanded, 1023);
  return std::wstring(Expanded);
}

std::wstring FileNameOf(const std::wstring& Path) { return Path.substr(Path.find_last_of(L"\\/") + 1); }

}  // namespace

void ReadRegistration(TCheckFacts& Facts) {
  // What a front-end needs of the class: the entries registration writes for it, and
  // those of its type library and interface.
  const std::wstring Class = L"CLSID\\" + GuidText(CLSID_RRExtension), Library = GuidText(LIBID_ZelmKvel);
  const std::wstring Interface = L"Interface\\" + GuidText(IID_IRRExtension);
  const std::wstring LibraryFileKey = L"TypeLib\\" + Library + L"\\1.0\\0\\win32";
  struct TEntry {
    std::wstring Key;
    const wchar_t* Name;
    std::wstring Want;  // empty: any text
  };
  const TEntry Entries[] = {
      {L"ZelmKvel.RRExtension\\Clsid", nullptr, GuidText(CLSID_RRExtension)},
      {Class + L"\\InprocServer32", nullptr, L""},
      {Class + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
      {Class + L"\\ProgID", nullptr, L"ZelmKvel.RRExtension"},
      {Class + L"\\Version", nullptr, L"1.0"},
      {Class + L"\\TypeLib", nullptr, Library},
      {LibraryFileKey, nullptr, L""},
      {Interface + L"\\ProxyStubClsid32", nullptr, L"{00020424-0000-0000-C000-000000000046}"},
      {Interface + L"\\TypeLib", nullptr, Library},
  };
  for (const TEntry& E : Entries) {
    const std::optional<std::wstring> Value = ReadString(HKEY_CLASSES_ROOT, E.Key, E.Name);
    const std::string Name = "HKCR\\" + Narrow(E.Key) + (E.Name ? " (" + Narrow(E.Name) + ")" : "");
    Facts.Registered = Facts.Registered || Value.has_value();
    if (!Value || Value->empty())
      Facts.Wrong.push_back(Name + ": missing");
    else if (!E.Want.empty() && _wcsicmp(Value->c_str(), E.Want.c_str()) != 0)
      Facts.Wrong.push_back(Name + ": " + Narrow(*Value) + ", not " + Narrow(E.Want));
  }
  // The installer marks what it installed; the zip's scripts leave no mark.
  const std::wstring InstalledBy = ReadString(HKEY_LOCAL_MACHINE, L"Software\\ZelmKvel", L"InstalledBy").value_or(L"");
  Facts.InstalledBy = std::u16string(View16(InstalledBy));
  Facts.Registered = Facts.Registered || !InstalledBy.empty();

  // The file: as InprocServer32 names it (an 8.3 form for a path with a blank), shown in
  // long form; once it is gone, the type library's entry still has that (and without
  // InprocServer32 it is the only name of it).
  const std::wstring Server = ReadString(HKEY_CLASSES_ROOT, Class + L"\\InprocServer32", nullptr).value_or(L"");
  const std::wstring LibraryFile = ReadString(HKEY_CLASSES_ROOT, LibraryFileKey, nullptr).value_or(L"");
  const std::wstring Path = Server.empty() ? LibraryFile : Server;
  const DWORD Attributes = Path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(Path.c_str());
  Facts.ServerFileThere = Attributes != INVALID_FILE_ATTRIBUTES && !(Attributes & FILE_ATTRIBUTE_DIRECTORY);
  std::wstring Long = Facts.ServerFileThere ? PathInForm(Path, GetLongPathNameW) : Path;
  if (!Facts.ServerFileThere && !LibraryFile.empty() &&
      _wcsicmp(FileNameOf(LibraryFile).c_str(), FileNameOf(Path).c_str()) == 0)
    Long = LibraryFile;
  Facts.ServerPath = std::u16string(View16(Path));
  Facts.PathFromTypeLibrary = Server.empty() && !Path.empty();
  if (_wcsicmp(Long.c_str(), Path.c_str()) != 0) Facts.LongPath = std::u16string(View16(Long));
}

void LookAtRegistration(TCheckFacts& Facts) {
  ReadRegistration(Facts);
  std::printf("Registration (what RideRunner finds):\n");
  for (const std::string& Line : RegistrationLines(Facts)) std::printf("%s\n", Line.c_str());
}

}  // namespace zelm::tools
