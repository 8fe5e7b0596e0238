// The names the system gives things, as the server registers them and the owner's check
// reads them back: a path in its long or short (8.3) form, a GUID as registry text; and
// the data server's window title as the window calls take it.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <string>

#include "core/protocol/Protocol.h"

namespace zelm {

// Path in the form a path-name function gives it (GetLongPathNameW, GetShortPathNameW),
// or unchanged when it cannot (a file that is not there).
using TPathForm = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD);
inline std::wstring PathInForm(const std::wstring& Path, TPathForm Form) {
  const DWORD Needed = Form(Path.c_str(), nullptr, 0);
  if (Needed == 0) return Path;
  std::wstring Converted(Needed, L'\0');
  const DWORD Length = Form(Path.c_str(), Converted.data(), Needed);
  if (Length == 0 || Length >= Needed) return Path;
  Converted.resize(Length);
  return Converted;
}

// In braces, with capital hexadecimal digits, as registry keys name classes.
inline std::wstring GuidText(REFGUID Guid) {
  wchar_t Text[40] = {};
  StringFromGUID2(Guid, Text, 40);
  return Text;
}

// "Morvicantrel", the data server's window's title: one text for the extension, the
// data servers and the check.
inline LPCWSTR ServerWindowTitle() noexcept { return reinterpret_cast<LPCWSTR>(cServerWindowTitle.data()); }

}  // namespace zelm
