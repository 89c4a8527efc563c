// The action log's file on POSIX: opened with O_NOFOLLOW and O_NONBLOCK and
// without O_TRUNC, checked through the open descriptor (so the checks see the
// file that was opened, not whatever the name leads to a moment later), and
// only then truncated.
#include "platform/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace korva {
namespace {

// Whether the directory that holds path can be written by other users: open
// to everyone, or sticky like /tmp.
bool inSharedDirectory(const char* path) {
  std::string dir(path);
  const std::string::size_type slash = dir.find_last_of('/');
  if (slash == std::string::npos) {
    dir = ".";
  } else {
    dir.erase(slash == 0 ? 1 : slash);
  }
  struct stat st;
  if (::stat(dir.c_str(), &st) != 0) return true;  // unknown: be careful
  return (st.st_mode & (S_IWOTH | S_ISVTX)) != 0;
}

int refuse(int fd, int error) {
  ::close(fd);
  return error;
}

}  // namespace

int openLogFile(const char* path, std::FILE** out) {
  *out = nullptr;
  if (!path || !*path) return ENOENT;
  const int fd =
      ::open(path, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  struct stat st;
  if (::fstat(fd, &st) != 0) return refuse(fd, errno);
  if (inSharedDirectory(path)) {
    if (st.st_uid != ::geteuid()) return refuse(fd, EPERM);
    if (S_ISREG(st.st_mode) && st.st_nlink > 1) return refuse(fd, EMLINK);
  }
  // Writing may wait again (a pipe whose reader is slow), as with any log.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return refuse(fd, errno);
  if (S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0) return refuse(fd, errno);
  std::FILE* stream = ::fdopen(fd, "w");
  if (!stream) return refuse(fd, errno);
  *out = stream;
  return 0;
}

}  // namespace korva
