// The in-process server's state: the type library loaded from our own file, what the
// class takes from it, and the two counts that decide when the DLL may be unloaded.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "win/com/ComServer.h"

namespace zelm::server {

// The record, loaded once; null when the type library does not describe the class as
// we implement it, and then LoadFailure() says why. No class factory exists then.
const TClassRecord* ClassRecord() noexcept;
const std::wstring& LoadFailure() noexcept;

// References clients hold on the class factory.
long FactoryAddRef() noexcept;
long FactoryRelease() noexcept;

// The one class factory; its QueryInterface answers DllGetClassObject.
IClassFactory* ClassFactory() noexcept;

}  // namespace zelm::server
