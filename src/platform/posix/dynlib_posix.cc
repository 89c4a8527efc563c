// Library loading on POSIX with dlopen. The name is passed as given, so a bare
// file name goes through the dynamic loader's ordinary search (the caller's
// RPATH/RUNPATH, LD_LIBRARY_PATH, the system directories). Symbols stay local
// to the library, and every reference is resolved at load time, so a library
// with a missing dependency fails to load instead of failing later mid-run.
//
// Thread-safety: the loader's calls are thread-safe.
// Ownership: a handle holds one load of the library until freeLibrary().
#include <dlfcn.h>

#include <string>

#include "platform/dynlib.h"

namespace korva {

std::string sharedLibraryFileName(const char* baseName) {
  return std::string("lib") + (baseName ? baseName : "") + ".so";
}

LibraryHandle loadLibrary(const char* fileName) {
  // dlopen(null) would answer the program itself.
  if (!fileName || !*fileName) return nullptr;
  return dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
}

void* lookupFunction(LibraryHandle library, const char* name) {
  // A null handle would search every loaded object.
  if (!library || !name) return nullptr;
  return dlsym(library, name);
}

void freeLibrary(LibraryHandle library) {
  if (library) dlclose(library);
}

}  // namespace korva
