// SFileSys: questions about paths (exists, is a directory, is a drive) and the
// listing of one directory into FileProp entries. Paths use the platform's
// separator (path_util.h) and carry a drive on Windows only. Failures are
// thrown as SFileSysException; memory exhaustion as std::bad_alloc.
//
// Thread-safety: no state of its own; safe on any thread.
// Ownership: listing appends to the caller's array, which keeps whatever was
// appended even when an exception ends the listing.
#ifndef KORVA_SUPPORT_FILE_SYS_H_
#define KORVA_SUPPORT_FILE_SYS_H_

#include <cstdint>

#include "support/containers.h"
#include "support/file_sys_exception.h"
#include "support/sstring.h"

// One entry of a directory listing.
struct FileProp {
  SAnsiString name;          // within its directory, no path
  bool isDirectory = false;  // a sub-directory
  int64_t size = 0;          // bytes, as the file status reports them
  // Another user's link in a directory that others can write: not followed,
  // so neither isDirectory nor size says anything (platform/filesys.h).
  bool isUnfollowedLink = false;
};

class SFileSys {
 public:
  // One trailing "/" is ignored. True when the path is not empty and can be
  // reached, or cannot be checked for a reason other than its absence.
  static bool exists(const SAnsiString& path);
  // True for an existing path of two characters with ":" second ("C:"), on
  // Windows; POSIX has no drives. A missing path throws type 2, code 1,
  // operation "isDrive".
  static bool isDrive(const SAnsiString& path);
  // True for an existing directory that is not a drive. A missing path
  // throws type 2, code 1, operation "isDir"; a status that cannot be had
  // throws type 3.
  static bool isDir(const SAnsiString& path);
  // Appends one entry per name in directory that matches pattern ("*" for
  // all; "sub/*.rpt", on Windows "sub\*.rpt", searches the sub-directory
  // sub), never "." or "..", in the order the system returns them. Another
  // user's link in a directory that others can write is listed as such and
  // not followed. A missing directory throws type 2, code 1, operation
  // "listing"; a file lists nothing; an entry whose status cannot be had, or
  // a failing enumeration, throws type 3, operation "listing".
  static void listing(const SAnsiString& directory, const SAnsiString& pattern,
                      SIArray<FileProp>& entries);
  // True when e is the failure of listing(directory, ...) to take the status
  // of one of the directory's entries (a dangling link, an entry that
  // vanished); e.path() then names the entry and e.reason() says why. False
  // for a failure of the directory itself or of its enumeration.
  static bool isEntryFailure(const SFileSysException& e, const SAnsiString& directory);
};

#endif  // KORVA_SUPPORT_FILE_SYS_H_
