// Whose objects the engine trusts on POSIX, the one rule of the action log's
// file (log_file_posix.cc) and of the source tree's walk (filesys_posix.cc):
// an object owned by a user other than the running one and root is another
// user's; a directory that everyone may write, that is sticky, or that is
// another user's is one that others can write, where another user may have
// planted a link.
//
// Thread-safety: pure functions of their arguments (and of the process's
// effective user). Ownership: nothing is kept.
#ifndef KORVA_PLATFORM_POSIX_FOREIGN_OWNER_H_
#define KORVA_PLATFORM_POSIX_FOREIGN_OWNER_H_

#include <sys/stat.h>
#include <unistd.h>

namespace korva {

// Whether a user other than the running one and root owns the object.
inline bool ownedByOtherUser(uid_t owner) { return owner != ::geteuid() && owner != 0; }

// Whether everyone may write into the directory, or it is sticky.
inline bool openToEveryone(const struct stat& directory) {
  return (directory.st_mode & (S_IWOTH | S_ISVTX)) != 0;
}

// Whether others can write into the directory: open to everyone or another
// user's.
inline bool writableByOthers(const struct stat& directory) {
  return openToEveryone(directory) || ownedByOtherUser(directory.st_uid);
}

}  // namespace korva

#endif  // KORVA_PLATFORM_POSIX_FOREIGN_OWNER_H_
