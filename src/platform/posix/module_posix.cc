// Module paths and the temporary directory on POSIX. The module holding an
// address is found with dladdr; the program itself is named by
// /proc/self/exe, because the loader records only the name it was started
// with, which may be relative to a directory the process has since left.
//
// Thread-safety: safe on any thread (reads the environment, which the caller
// must not change at the same time).
#include <dlfcn.h>
#include <limits.h>
#include <link.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "platform/module.h"

namespace korva {
namespace {

// Longest temporary directory handed out, with its separator.
constexpr size_t kMaxTemporaryDirectory = 260;

struct FreeDeleter {
  void operator()(char* p) const { free(p); }
};

std::string absolutePath(const char* path) {
  std::unique_ptr<char, FreeDeleter> resolved(realpath(path, nullptr));
  return resolved ? std::string(resolved.get()) : std::string();
}

std::string programPath() {
  char buffer[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
  if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer) return std::string();
  return std::string(buffer, static_cast<size_t>(length));
}

// The loader's record of the program itself.
link_map* programLinkMap() {
  void* self = dlopen(nullptr, RTLD_LAZY);
  if (!self) return nullptr;
  link_map* map = nullptr;
  if (dlinfo(self, RTLD_DI_LINKMAP, &map) != 0) map = nullptr;
  dlclose(self);
  return map;
}

}  // namespace

std::string modulePathOf(const void* address) {
  if (!address) return std::string();
  Dl_info info;
  link_map* map = nullptr;
  if (dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0) {
    return std::string();
  }
  if (map && map == programLinkMap()) return programPath();
  if (!info.dli_fname || !*info.dli_fname) return std::string();
  return absolutePath(info.dli_fname);
}

std::string temporaryDirectory() {
  const char* fallback = "/tmp/";
  const char* value = getenv("TMPDIR");
  if (!value || !*value) return fallback;
  struct stat st;
  if (stat(value, &st) != 0 || !S_ISDIR(st.st_mode)) return fallback;
  std::string dir(value);
  if (dir.back() != '/') dir.push_back('/');
  return dir.size() <= kMaxTemporaryDirectory ? dir : fallback;
}

}  // namespace korva
