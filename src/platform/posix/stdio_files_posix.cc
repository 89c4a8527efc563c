// The server's stdio files on POSIX: open(2) with O_EXCL, an unlinked
// mkstemp file in the temporary folder, fseeko and ftello.
//
// Thread-safety: no state of its own; getenv is read while nobody changes
// the environment.
// Ownership: descriptors are closed on every failure path; the FILE that
// takes one over closes it.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/stdio_files.h"

namespace korva {
namespace {

// The descriptor as a FILE, or null with *error set (the descriptor closed).
StdioFile adopt(int fd, const char* mode, int* error) {
  std::FILE* f = ::fdopen(fd, mode);
  if (!f) {
    *error = errno;
    ::close(fd);
  }
  return StdioFile(f);
}

std::string temporaryFolder() {
  const char* dir = std::getenv("TMPDIR");
  struct stat st;
  if (dir && *dir && ::stat(dir, &st) == 0 && S_ISDIR(st.st_mode)) return dir;
  return "/tmp";
}

}  // namespace

StdioFile createNewFile(const std::string& path, bool privateFile, int* error) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, privateFile ? 0600 : 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    *error = errno;
    return nullptr;
  }
  return adopt(fd, "wb", error);
}

StdioFile openScratchFile(int* error) {
  std::string pattern = temporaryFolder() + "/korva-scratch-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0) {
    *error = errno;
    return nullptr;
  }
  // Unnamed from here on: gone when the last descriptor closes.
  ::unlink(name.data());
  return adopt(fd, "w+b", error);
}

int seekFile(std::FILE* f, int64_t offset, int whence) {
  return ::fseeko(f, static_cast<off_t>(offset), whence);
}

int64_t tellFile(std::FILE* f) { return static_cast<int64_t>(::ftello(f)); }

}  // namespace korva
