// The in-process server's state: the type library loaded from our own file, what the
// class takes from it, and the two counts that decide when the DLL may be unloaded.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace zelm::server {

// The class registration record, made from the embedded type library on first use.
struct TClassRecord {
  ITypeLib* Library = nullptr;
  ITypeInfo* CoClass = nullptr;    // coclass RRExtension
  ITypeInfo* Dispatch = nullptr;   // its default interface as the coclass lists it
  ITypeInfo* Interface = nullptr;  // the vtable half of that dual interface
  std::wstring ServerName;         // the library's name: "ZelmKvel"
  std::wstring ClassName;          // the coclass's name: "RRExtension"
  std::wstring Description;        // the coclass's documentation string (empty)
  std::wstring ProgId;             // "ZelmKvel.RRExtension"
  std::wstring FileName;           // full path of this DLL, long form
};

// The DLL's own module handle.
HMODULE Module() noexcept;

// The record, loaded once; null when the type library does not describe the class as
// we implement it, and then LoadFailure() says why. No class factory exists then.
const TClassRecord* ClassRecord() noexcept;
const std::wstring& LoadFailure() noexcept;

// Live objects plus server locks.
void LockModule() noexcept;
void UnlockModule() noexcept;
// References clients hold on the class factory.
long FactoryAddRef() noexcept;
long FactoryRelease() noexcept;

// The one class factory; its QueryInterface answers DllGetClassObject.
IClassFactory* ClassFactory() noexcept;

// Hands a failure to the calling thread as an error-info object (GUID, source,
// description, help context). Answers Code, or E_UNEXPECTED when no error-info object
// could be made.
HRESULT ReportError(HRESULT Code, REFGUID Guid, const wchar_t* Source, const wchar_t* Description,
                    DWORD HelpContext) noexcept;

// Path in the form a path-name function gives it (GetLongPathNameW, GetShortPathNameW),
// or unchanged when it cannot.
using TPathForm = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD);
std::wstring PathInForm(const std::wstring& Path, TPathForm Form);

}  // namespace zelm::server
