// The POSIX file-system service: stat, access and opendir/readdir, and the
// owners and modes that tell a link planted by another user. The switch that
// lets tests install another service is in service_switch.cc.
//
// Thread-safety: the service holds no state.
// Ownership: a DirectoryReader owns its DIR stream and closes it when destroyed.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/filesys.h"
#include "platform/posix/foreign_owner.h"

namespace korva {
namespace {

class PosixDirectoryReader : public DirectoryReader {
 public:
  explicit PosixDirectoryReader(DIR* dir) : dir_(dir) {}
  ~PosixDirectoryReader() override { closedir(dir_); }
  PosixDirectoryReader(const PosixDirectoryReader&) = delete;
  PosixDirectoryReader& operator=(const PosixDirectoryReader&) = delete;

  bool next(std::string* name, int* error) override {
    // readdir leaves errno alone at the end of the stream, so a changed errno
    // tells a failure from the end.
    errno = 0;
    struct dirent* entry = readdir(dir_);
    if (entry == nullptr) {
      if (error) *error = errno;
      return false;
    }
    name->assign(entry->d_name);
    if (error) *error = 0;
    return true;
  }

 private:
  DIR* dir_;
};

class PosixFileSystem : public FileSystem {
 public:
  int getStatus(const std::string& path, FileStatus* status) override {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return errno;
    status->isDirectory = S_ISDIR(st.st_mode);
    status->size = static_cast<int64_t>(st.st_size);
    return 0;
  }

  int checkAccess(const std::string& path) override {
    return access(path.c_str(), F_OK) == 0 ? 0 : errno;
  }

  int openDirectory(const std::string& path, std::unique_ptr<DirectoryReader>* reader) override {
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr) return errno;
    // Own the stream before anything else can fail.
    std::unique_ptr<PosixDirectoryReader> owner;
    try {
      owner.reset(new PosixDirectoryReader(dir));
    } catch (...) {
      closedir(dir);
      throw;
    }
    *reader = std::move(owner);
    return 0;
  }

  int checkUnfollowedLink(const std::string& directory, const std::string& name,
                          bool* unfollowed) override {
    *unfollowed = false;
    std::string path = directory;
    if (!path.empty() && path.back() != '/') path += '/';
    path += name;
    struct stat entry;
    if (::lstat(path.c_str(), &entry) != 0) return errno;
    if (!S_ISLNK(entry.st_mode) || !ownedByOtherUser(entry.st_uid)) return 0;
    // The directory as the walk reached it, links on the way followed.
    struct stat holder;
    if (::stat(directory.empty() ? "." : directory.c_str(), &holder) != 0) return errno;
    *unfollowed = writableByOthers(holder);
    return 0;
  }
};

}  // namespace

FileSystem& defaultFileSystem() {
  static PosixFileSystem service;
  return service;
}

std::string errorText(int error) {
  char buffer[256];
  buffer[0] = '\0';
  // The GNU strerror_r answers a pointer (maybe to a static text), the XSI one
  // an int with the text in the buffer; overloads take whichever this is.
  struct Pick {
    static const char* text(const char* answer, const char*) { return answer; }
    static const char* text(int, const char* buf) { return buf; }
  };
  return Pick::text(strerror_r(error, buffer, sizeof buffer), buffer);
}

}  // namespace korva
