// The in-process server's state: the type library loaded from our own file, what the
// class takes from it, and the two counts that decide when the DLL may be unloaded.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "win/com/ComServer.h"

namespace zelm::server {

// Why there is no class record: CLASS_E_CLASSNOTAVAILABLE when the type library does
// not describe the class as we implement it, E_OUTOFMEMORY when memory ran short.
struct TLoadFailure {
  HRESULT Code = S_OK;
  const wchar_t* Description = L"";
};

// The record, made on first use and tried again on each use until it is made; null (and
// Failure says why) when it cannot be made. No class factory exists then.
const TClassRecord* ClassRecord(TLoadFailure& Failure) noexcept;
const TClassRecord* ClassRecord() noexcept;

// References clients hold on the class factory.
long FactoryAddRef() noexcept;
long FactoryRelease() noexcept;

// The one class factory; its QueryInterface answers DllGetClassObject.
IClassFactory* ClassFactory() noexcept;

}  // namespace zelm::server
