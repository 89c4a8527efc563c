// Directory identity on POSIX: the device and inode numbers of stat(), which
// follows symbolic links, so a link and its target answer the same identity.
#include <sys/stat.h>

#include <cerrno>

#include "platform/dir_identity.h"

namespace korva {

int directoryIdentity(const std::string& path, DirectoryIdentity* identity) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return errno ? errno : EIO;
  identity->device = static_cast<uint64_t>(st.st_dev);
  identity->node = static_cast<uint64_t>(st.st_ino);
  return 0;
}

}  // namespace korva
