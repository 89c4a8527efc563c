// The POSIX file opener: open with O_NONBLOCK (kept for the reads), fstat on
// the descriptor, read retried on EINTR only. A path that already names
// something other than a file or a directory is not opened at all: opening a
// device can have effects of its own.
//
// Thread-safety: the opener holds no state.
// Ownership: a PosixFileReader owns its descriptor and closes it when destroyed.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/file_reader.h"

namespace korva {
namespace {

class PosixFileReader : public FileReader {
 public:
  // fd -1: not opened (kind Other); reads fail.
  PosixFileReader(int fd, FileKind kind) : fd_(fd), kind_(kind) {}
  ~PosixFileReader() override {
    if (fd_ >= 0) ::close(fd_);
  }
  PosixFileReader(const PosixFileReader&) = delete;
  PosixFileReader& operator=(const PosixFileReader&) = delete;

  FileKind kind() const override { return kind_; }

  int read(void* buffer, size_t size, size_t* got) override {
    *got = 0;
    if (fd_ < 0) return EBADF;
    while (true) {
      ssize_t n = ::read(fd_, buffer, size);
      if (n >= 0) {
        *got = static_cast<size_t>(n);
        return 0;
      }
      if (errno == EINTR) continue;
      // EWOULDBLOCK may differ from EAGAIN on some systems; callers see one.
      return errno == EWOULDBLOCK ? EAGAIN : errno;
    }
  }

 private:
  int fd_;
  FileKind kind_;
};

class PosixFileOpener : public FileOpener {
 public:
  int open(const std::string& path, std::unique_ptr<FileReader>* reader) override {
    struct stat before;
    if (::stat(path.c_str(), &before) == 0 && !S_ISREG(before.st_mode) &&
        !S_ISDIR(before.st_mode)) {
      *reader = std::make_unique<PosixFileReader>(-1, FileKind::Other);
      return 0;
    }
    // The kind is taken again from the open file: the path may have changed.
    int fd;
    do {
      fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return errno;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
      int error = errno;
      ::close(fd);
      return error;
    }
    FileKind kind = S_ISREG(st.st_mode)   ? FileKind::Regular
                    : S_ISDIR(st.st_mode) ? FileKind::Directory
                                          : FileKind::Other;
    // Own the descriptor before anything else can fail.
    std::unique_ptr<PosixFileReader> owner;
    try {
      owner.reset(new PosixFileReader(fd, kind));
    } catch (...) {
      ::close(fd);
      throw;
    }
    *reader = std::move(owner);
    return 0;
  }
};

}  // namespace

FileOpener& defaultFileOpener() {
  static PosixFileOpener opener;
  return opener;
}

}  // namespace korva
