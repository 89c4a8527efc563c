// Module paths and the temporary directory on Windows: the module holding an
// address is found with GetModuleHandleExA and named by GetModuleFileNameA
// (so the engine library finds its own file through its own handle); the
// temporary directory is what GetTempPathA answers.
//
// Thread-safety: safe on any thread.
#include <string>

#include "platform/module.h"
#include "platform/win32/path_chars_win32.h"
#include "platform/win32/windows_api.h"

namespace korva {
namespace {

// Longest temporary directory handed out, with its separator.
constexpr DWORD kMaxTemporaryDirectory = 260;
// Longest module path asked for (the system's own limit for long paths).
constexpr DWORD kMaxModulePath = 32768;

}  // namespace

std::string modulePathOf(const void* address) {
  if (!address) return std::string();
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCSTR>(address), &module)) {
    return std::string();
  }
  // A path that fills the buffer may have been cut: try a larger one.
  for (DWORD size = MAX_PATH; size <= kMaxModulePath; size *= 2) {
    std::string path(size, '\0');
    const DWORD length = GetModuleFileNameA(module, &path[0], size);
    if (length == 0) return std::string();
    if (length < size) {
      path.resize(length);
      return path;
    }
  }
  return std::string();
}

std::string temporaryDirectory() {
  char buffer[MAX_PATH + 1];
  const DWORD length = GetTempPathA(sizeof buffer, buffer);
  if (length == 0 || length > kMaxTemporaryDirectory) return ".\\";
  std::string dir(buffer, length);
  if (!win32::endsInPathSeparator(dir)) dir.push_back('\\');
  return dir.size() <= kMaxTemporaryDirectory ? dir : std::string(".\\");
}

}  // namespace korva
