// Writing a new tree of directories and files so that nobody ever finds it
// half made: the tree is filled in a directory of its own beside its
// destination and then moved to the destination's name in one step; when
// anything fails, that directory is removed again. The service makes a
// directory, creates a new file, moves a directory to a name that is free or
// an empty directory, and removes a tree. Every failure is answered as a C
// error number (errno value), 0 meaning success.
//
// POSIX: mkdir, open with O_EXCL (stdio_files.h), rename (which replaces an
// empty directory in the same step), and a walk that never follows a link.
// Windows: CreateDirectoryA, the same new file, MoveFileExA (an empty
// directory at the destination is removed first), and a walk that removes
// read-only entries too.
//
// The service in force is process-wide: newTree() answers the operating
// system's unless a test has installed another with setNewTreeForTesting()
// (usually a NewTreeWrapper that forwards to the real one and fails where
// the test wants it to).
//
// Thread-safety: the real service is stateless and safe on any thread;
// installing a test service is not meant to race with its use.
// Ownership: a created file belongs to the caller (StdioFile closes it); an
// installed test service stays owned by the test.
#ifndef KORVA_PLATFORM_NEW_TREE_H_
#define KORVA_PLATFORM_NEW_TREE_H_

#include <string>

#include "platform/scoped_service.h"
#include "platform/stdio_files.h"

namespace korva {

class NewTree {
 public:
  virtual ~NewTree() = default;
  // A new directory; EEXIST when anything is there already.
  virtual int makeDirectory(const std::string& path) = 0;
  // A new file open for writing in binary mode, or null with *error set
  // (EEXIST when anything is there already).
  virtual StdioFile createFile(const std::string& path, int* error) = 0;
  // Gives the directory `from` the name `to`, which must be free or an empty
  // directory (ENOTEMPTY, EEXIST or ENOTDIR otherwise); both in one parent.
  virtual int moveDirectory(const std::string& from, const std::string& to) = 0;
  // Removes the directory and everything in it; links are removed, never
  // followed.
  virtual int removeTree(const std::string& path) = 0;
};

// The service in force.
NewTree& newTree();
// The operating system's own service, whatever is installed.
NewTree& defaultNewTree();
// Installs a service for tests and answers the one it replaces; null puts
// the operating system's own service back.
NewTree* setNewTreeForTesting(NewTree* service);

// The path without separators at its end (a root keeps its own: "/", "C:\").
std::string withoutTrailingSeparators(const std::string& path);

// For tests: forwards every request to another service; derive from it and
// override the request that should fail.
class NewTreeWrapper : public NewTree {
 public:
  explicit NewTreeWrapper(NewTree& target = defaultNewTree()) : target_(target) {}
  int makeDirectory(const std::string& path) override { return target_.makeDirectory(path); }
  StdioFile createFile(const std::string& path, int* error) override {
    return target_.createFile(path, error);
  }
  int moveDirectory(const std::string& from, const std::string& to) override {
    return target_.moveDirectory(from, to);
  }
  int removeTree(const std::string& path) override { return target_.removeTree(path); }

 protected:
  NewTree& target_;
};

// For tests: installs a service for the lifetime of the object, then puts
// the previous one back.
using ScopedNewTreeForTesting = ScopedServiceForTesting<NewTree, setNewTreeForTesting>;

}  // namespace korva

#endif  // KORVA_PLATFORM_NEW_TREE_H_
