// Path helpers: building and splitting paths, adding and removing separators,
// joining a directory and a name. Paths use the platform's separator and
// follow the C runtime's _makepath and _splitpath (platform/crt_path.h): on
// Windows "\" with drives ("C:"); on POSIX "/" without: there makePath
// ignores its drive and splitPath always answers an empty one.
//
// Thread-safety: no state; safe on any thread.
// Ownership: results are new values; in/out strings belong to the caller.
#ifndef KORVA_SUPPORT_PATH_UTIL_H_
#define KORVA_SUPPORT_PATH_UTIL_H_

#include "platform/crt_path.h"
#include "support/sstring.h"

constexpr char kPathSeparator = korva::kNativePathSeparator;

// Sizes of the caller buffers of the buffer form of splitPath, terminator
// included; longer parts are cut to fit.
constexpr int kMaxDrive = 3;
constexpr int kMaxDir = 256;
constexpr int kMaxFname = 256;
constexpr int kMaxExt = 256;

// drive, dir (with a separator added when it does not end in one), name,
// then ext (with a "." put before it when it has none). Any part may be null
// or "".
SAnsiString makePath(const char* drive, const char* dir, const char* name, const char* ext);

// Splits path into drive, directory (up to and including the last
// separator), name (up to the last "." after it) and extension (from that
// "."). Null buffers are skipped; others must hold kMaxDrive, kMaxDir,
// kMaxFname, kMaxExt bytes.
void splitPath(const char* path, char* drive, char* dir, char* name, char* ext);
// The same into strings: *dir receives the directory appended to what it
// holds; a part that is empty leaves its string as it was. Nothing is cut.
void splitPath(const SAnsiString& path, SAnsiString* drive, SAnsiString* dir, SAnsiString* name,
               SAnsiString* ext);

// Appends c when the path is not empty and does not end in c.
void ensureTrailingSeparator(SAnsiString& path, char c = kPathSeparator);
// For paths of at least 2 characters, removes a last c; a last "\" that
// follows ":" stays (a drive root).
void removeTrailingSeparator(SAnsiString& path, char c = kPathSeparator);
// For paths of at least 2 characters, removes a first c.
void removeLeadingSeparator(SAnsiString& path, char c = kPathSeparator);

// directory + separator + name with exactly one separator between them,
// however many either side brought; an empty directory gives name as it is.
SAnsiString joinPath(const SAnsiString& directory, const SAnsiString& name);

#endif  // KORVA_SUPPORT_PATH_UTIL_H_
