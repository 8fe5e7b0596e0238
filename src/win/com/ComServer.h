// What the in-process server gives the objects it serves: the class registration
// record made from the embedded type library, the count of live objects that decides
// when the DLL may go, and the error-info object of the error convention.
// (win/server/Server.cpp implements it.)
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "win/com/ComTypes.h"

namespace zelm::server {

// The class registration record, made from the embedded type library on first use.
struct TClassRecord {
  TComPtr<ITypeLib> Library;
  TComPtr<ITypeInfo> CoClass;    // coclass RRExtension
  TComPtr<ITypeInfo> Dispatch;   // its default interface as the coclass lists it
  TComPtr<ITypeInfo> Interface;  // the vtable half of that dual interface
  std::wstring Description;      // the coclass's documentation string (empty)
  std::wstring ProgId;           // "ZelmKvel.RRExtension"
  std::wstring FileName;         // full path of this DLL, long form
};

// Live objects plus server locks.
void LockModule() noexcept;
void UnlockModule() noexcept;

// Hands a failure to the calling thread as an error-info object (GUID, source,
// description, help context). Answers Code, or E_UNEXPECTED when no error-info object
// could be made.
HRESULT ReportError(HRESULT Code, REFGUID Guid, const wchar_t* Source, const wchar_t* Description,
                    DWORD HelpContext) noexcept;

}  // namespace zelm::server
