// The POSIX new-tree service: mkdir, a new file by open(2) with O_EXCL,
// rename(2), and a removal that walks the tree through directory
// descriptors (openat with O_NOFOLLOW), so that a link put in place of a
// directory meanwhile is removed as a link, never followed. The switch that
// lets tests install another service is in service_switch.cc.
//
// Thread-safety: the service holds no state.
// Ownership: every descriptor and directory stream is closed on every path.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/new_tree.h"

namespace korva {
namespace {

// Removes the entry `name` of the directory open as dirFd, and everything in
// it when it is a directory; the first failure is answered, the rest is
// still tried.
int removeAt(int dirFd, const std::string& name) {
  if (::unlinkat(dirFd, name.c_str(), 0) == 0) return 0;
  if (errno != EISDIR && errno != EPERM) return errno;
  const int fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    const int error = errno;
    ::close(fd);
    return error;
  }
  std::vector<std::string> names;
  int first = 0;
  for (;;) {
    errno = 0;
    struct dirent* entry = ::readdir(dir);
    if (!entry) {
      first = errno;
      break;
    }
    const std::string entryName = entry->d_name;
    if (entryName != "." && entryName != "..") names.push_back(entryName);
  }
  for (const std::string& entryName : names) {
    const int error = removeAt(::dirfd(dir), entryName);
    if (!first) first = error;
  }
  ::closedir(dir);
  if (::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR) != 0 && !first) first = errno;
  return first;
}

class PosixNewTree : public NewTree {
 public:
  int makeDirectory(const std::string& path) override {
    return ::mkdir(path.c_str(), 0777) == 0 ? 0 : errno;
  }

  StdioFile createFile(const std::string& path, int* error) override {
    return createNewFile(path, false, error);
  }

  int moveDirectory(const std::string& from, const std::string& to) override {
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
  }

  int removeTree(const std::string& path) override { return removeAt(AT_FDCWD, path); }
};

}  // namespace

NewTree& defaultNewTree() {
  static PosixNewTree service;
  return service;
}

std::string withoutTrailingSeparators(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

}  // namespace korva
