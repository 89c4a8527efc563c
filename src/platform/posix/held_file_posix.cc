// Held files on POSIX: O_EXCL and flock(LOCK_EX | LOCK_NB), and a check that
// the path still names the locked file (another may have taken a new file
// over and removed it between its making and its lock).
//
// Thread-safety: no state of its own.
// Ownership: descriptors are closed on every failure path; a HeldFile closes
// its own.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/held_file.h"

namespace korva {
namespace {

// Locks the open file without waiting: 0, or the error number (EWOULDBLOCK
// when somebody holds it).
int lockNow(int fd) {
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  return rc == 0 ? 0 : errno;
}

// Whether path names the open file.
bool stillNamed(int fd, const std::string& path) {
  struct stat open, named;
  return ::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 &&
         open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

}  // namespace

HeldFile::~HeldFile() {
  ::unlink(path_.c_str());
  ::close(static_cast<int>(handle_));
}

int createHeldFile(const std::string& path, std::unique_ptr<HeldFile>* out) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno;
  const int error = lockNow(fd);
  if (error != 0 || !stillNamed(fd, path)) {
    ::close(fd);
    return error == EWOULDBLOCK || error == 0 ? EAGAIN : error;
  }
  out->reset(new HeldFile(path, fd));
  return 0;
}

HoldAnswer takeHeldFile(const std::string& path, std::unique_ptr<HeldFile>* out) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno == ENOENT ? HoldAnswer::Gone : HoldAnswer::Held;
  if (lockNow(fd) != 0) {
    ::close(fd);
    return HoldAnswer::Held;
  }
  // Locked only once its last holder had removed it: gone.
  if (!stillNamed(fd, path)) {
    ::close(fd);
    return HoldAnswer::Gone;
  }
  out->reset(new HeldFile(path, fd));
  return HoldAnswer::Taken;
}

}  // namespace korva
