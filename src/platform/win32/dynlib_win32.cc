// Library loading on Windows with LoadLibraryExA and GetProcAddress. A bare
// file name is searched in the program's directory and the system's
// directories, never in the current directory, where anyone who can write
// there could plant a library of that name. A name with a directory is
// loaded as given. No error box appears for a file that is no usable library.
//
// Thread-safety: the loader's calls are thread-safe; the error mode is the
// calling thread's.
// Ownership: a handle holds one load of the library until freeLibrary().
#include <string>

#include "platform/dynlib.h"
#include "platform/win32/windows_api.h"

namespace korva {
namespace {

bool isBareName(const char* fileName) {
  for (const char* p = fileName; *p; ++p) {
    if (*p == '\\' || *p == '/' || *p == ':') return false;
  }
  return true;
}

// The program's own directory with its separator, or "".
std::string programDirectory() {
  char buffer[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer) return std::string();
  std::string path(buffer, length);
  const std::string::size_type slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Keeps the system from showing a box for a failed load while it lives.
class QuietErrorMode {
 public:
  QuietErrorMode() {
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous_);
  }
  ~QuietErrorMode() { SetThreadErrorMode(previous_, nullptr); }
  QuietErrorMode(const QuietErrorMode&) = delete;
  QuietErrorMode& operator=(const QuietErrorMode&) = delete;

 private:
  DWORD previous_ = 0;
};

}  // namespace

std::string sharedLibraryFileName(const char* baseName) {
  return std::string(baseName ? baseName : "") + ".dll";
}

LibraryHandle loadLibrary(const char* fileName) {
  if (!fileName || !*fileName) return nullptr;
  QuietErrorMode quiet;
  if (!isBareName(fileName)) return LoadLibraryA(fileName);
  HMODULE module = LoadLibraryExA(fileName, nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
  // A system without the search flags: the program's directory by path.
  if (!module && GetLastError() == ERROR_INVALID_PARAMETER) {
    const std::string directory = programDirectory();
    if (!directory.empty()) module = LoadLibraryA((directory + fileName).c_str());
  }
  return module;
}

void* lookupFunction(LibraryHandle library, const char* name) {
  if (!library || !name) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void freeLibrary(LibraryHandle library) {
  if (library) FreeLibrary(static_cast<HMODULE>(library));
}

}  // namespace korva
