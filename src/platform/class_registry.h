// The system's registry of in-process COM servers: where CoCreateInstance
// finds the library that serves a class id. A server library's registration
// entries write and remove its classes here (regsvr32 calls them).
//
// Only Windows has such a registry, and only the Windows build implements
// this header: the POSIX build registers its classes in-process
// (CoRegisterClassObject) when the server is loaded.
//
// Thread-safety: each call is one registry transaction of its own; callers
// do not register the same class from two threads at once.
// Ownership: nothing is held after a call returns.
#ifndef KORVA_PLATFORM_CLASS_REGISTRY_H_
#define KORVA_PLATFORM_CLASS_REGISTRY_H_

#include <string>

#include "platform/com.h"

namespace korva {

// The class id in its registry spelling, "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"
// in upper-case hex.
std::string classIdText(REFCLSID classId);

// Registers the library that holds moduleAddress as the in-process server
// of classId: the class's key carries the description, its InprocServer32
// key the library's full path and the threading model ("Apartment",
// "Both", ...). S_OK, or SELFREG_E_CLASS when the library's path cannot be
// found or the registry refuses (nothing of the class is left then).
HRESULT registerInprocServer(REFCLSID classId, const std::string& description,
                             const void* moduleAddress, const std::string& threadingModel);

// Removes the class's keys. S_OK also when the class was not registered;
// SELFREG_E_CLASS when the registry refuses.
HRESULT unregisterInprocServer(REFCLSID classId);

// The library registered as the in-process server of classId, or "" when
// there is none.
std::string registeredInprocServer(REFCLSID classId);

}  // namespace korva

#endif  // KORVA_PLATFORM_CLASS_REGISTRY_H_
