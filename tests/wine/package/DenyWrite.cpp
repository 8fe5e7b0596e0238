// zelm_deny_write NAME: makes HKEY_LOCAL_MACHINE\Software\Classes\NAME (creating it) a key
// whose values nobody may set, as a policy or a rights-less account finds it: how the
// package test makes install.cmd fail. (Wine checks a key's rights when it is opened to
// set a value, not when a subkey is made under it.)
#include <windows.h>

#include <aclapi.h>

#include <cstdio>
#include <string>

#include "win/com/Handles.h"

int wmain(int Count, wchar_t** Args) {
  if (Count != 2) {
    std::fprintf(stderr, "usage: zelm_deny_write NAME\n");
    return 2;
  }
  const std::wstring Key = std::wstring(L"Software\\Classes\\") + Args[1];
  zelm::TRegistryKey Handle;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, Key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, Handle.Out(), nullptr) !=
      ERROR_SUCCESS) {
    std::fprintf(stderr, "zelm_deny_write: cannot create the key\n");
    return 1;
  }
  EXPLICIT_ACCESS_W Rules[2] = {};
  wchar_t Everyone[] = L"EVERYONE";
  BuildExplicitAccessWithNameW(&Rules[0], Everyone, KEY_SET_VALUE | KEY_CREATE_SUB_KEY | DELETE, DENY_ACCESS,
                               NO_INHERITANCE);
  BuildExplicitAccessWithNameW(&Rules[1], Everyone, KEY_READ, GRANT_ACCESS, NO_INHERITANCE);
  PACL Acl = nullptr;
  DWORD Result = SetEntriesInAclW(2, Rules, nullptr, &Acl);
  const zelm::TLocalMemory AclMemory(Acl);
  if (Result == ERROR_SUCCESS)
    Result =
        SetSecurityInfo(Handle.Get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                        nullptr, nullptr, Acl, nullptr);
  if (Result != ERROR_SUCCESS) {
    std::fprintf(stderr, "zelm_deny_write: cannot set the key's rights (%lu)\n", Result);
    return 1;
  }
  return 0;
}
