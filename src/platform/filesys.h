// What the support library needs of the operating system's file system: the
// status of a path (directory or not, size), an existence check, directory
// enumeration, whether a directory entry is a link that a walk of the source
// tree must not follow, and the text of a C error number. Every failure is answered as a
// C error number (errno value), 0 meaning success.
//
// The service in force is process-wide: fileSystem() answers the real one
// unless a test has installed another with setFileSystemForTesting() (usually
// a FileSystemWrapper that forwards to the real one and fails where the test
// wants it to).
//
// Thread-safety: the real service is stateless and safe on any thread;
// installing a test service is not meant to race with its use.
// Ownership: a DirectoryReader owns its open enumeration and closes it when
// destroyed; an installed test service stays owned by the test.
#ifndef KORVA_PLATFORM_FILESYS_H_
#define KORVA_PLATFORM_FILESYS_H_

#include <cstdint>
#include <memory>
#include <string>

#include "platform/scoped_service.h"

namespace korva {

// The status of one path.
struct FileStatus {
  bool isDirectory = false;
  int64_t size = 0;
};

// One open directory enumeration; destroying it closes it.
class DirectoryReader {
 public:
  virtual ~DirectoryReader() = default;
  // The next entry's name ("." and ".." included), in the order the system
  // returns them. False at the end; *error is then 0, or the error number
  // when the enumeration failed.
  virtual bool next(std::string* name, int* error) = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // 0 and *status filled, or the error number. Links are followed.
  virtual int getStatus(const std::string& path, FileStatus* status) = 0;
  // Whether the path can be reached: 0, or the error number (ENOENT when it
  // does not exist).
  virtual int checkAccess(const std::string& path) = 0;
  // 0 and *reader set to the open enumeration, or the error number.
  virtual int openDirectory(const std::string& path, std::unique_ptr<DirectoryReader>* reader) = 0;
  // Whether the entry `name` of `directory` is a link that is not to be
  // followed: a link owned by a user other than the running one and root, in
  // a directory that others can write (writable by everyone, sticky, or
  // another user's), where that user may have planted it to lead the walk to
  // files only the running user may read. The same rule keeps the action
  // log's file from such links (log_file.h). Nothing the link leads to is
  // looked at. 0 and *unfollowed set, or the error number of the entry's own
  // status. Where directories are guarded by access control lists instead
  // of owners and modes (Windows), no link is refused here.
  virtual int checkUnfollowedLink(const std::string& directory, const std::string& name,
                                  bool* unfollowed) = 0;
};

// The service in force.
FileSystem& fileSystem();
// The operating system's own service, whatever is installed.
FileSystem& defaultFileSystem();
// Installs a service for tests and answers the one it replaces; null puts the
// operating system's own service back.
FileSystem* setFileSystemForTesting(FileSystem* service);

// The system's text for a C error number (what strerror answers).
std::string errorText(int error);

// For tests: forwards every request to another service; derive from it and
// override the request that should fail.
class FileSystemWrapper : public FileSystem {
 public:
  explicit FileSystemWrapper(FileSystem& target = defaultFileSystem()) : target_(target) {}
  int getStatus(const std::string& path, FileStatus* status) override {
    return target_.getStatus(path, status);
  }
  int checkAccess(const std::string& path) override { return target_.checkAccess(path); }
  int openDirectory(const std::string& path, std::unique_ptr<DirectoryReader>* reader) override {
    return target_.openDirectory(path, reader);
  }
  int checkUnfollowedLink(const std::string& directory, const std::string& name,
                          bool* unfollowed) override {
    return target_.checkUnfollowedLink(directory, name, unfollowed);
  }

 protected:
  FileSystem& target_;
};

// For tests: installs a service for the lifetime of the object, then puts the
// previous one back.
using ScopedFileSystemForTesting = ScopedServiceForTesting<FileSystem, setFileSystemForTesting>;

}  // namespace korva

#endif  // KORVA_PLATFORM_FILESYS_H_
