// Loading a shared library by file name and looking up an exported function.
//
// Thread-safety: safe on any thread. Ownership: a loaded library stays loaded
// until freeLibrary(); the programs never free theirs.
#ifndef KORVA_PLATFORM_DYNLIB_H_
#define KORVA_PLATFORM_DYNLIB_H_

#include <string>

namespace korva {

using LibraryHandle = void*;

// The platform's file name for a library: "libNAME.so" on POSIX, "NAME.dll"
// on Windows.
std::string sharedLibraryFileName(const char* baseName);
// Loads through the platform's ordinary search (on Windows without the
// current directory); null on failure.
LibraryHandle loadLibrary(const char* fileName);
// Null when the library or the function is missing.
void* lookupFunction(LibraryHandle library, const char* name);
void freeLibrary(LibraryHandle library);

}  // namespace korva

#endif  // KORVA_PLATFORM_DYNLIB_H_
