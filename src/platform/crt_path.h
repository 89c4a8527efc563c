// The platform's path rules and the C runtime's path functions: the
// separator, whether paths carry a drive ("C:"), and splitting and joining a
// path by the rules of _splitpath and _makepath. On Windows these are the
// runtime's own functions ("\" and "/" both separate; a drive comes first).
// On POSIX, which has neither drives nor these functions, the equivalents
// over "/" never answer a drive and ignore one given.
//
// Thread-safety: pure functions.
// Ownership: results are new values.
#ifndef KORVA_PLATFORM_CRT_PATH_H_
#define KORVA_PLATFORM_CRT_PATH_H_

#include <string>

namespace korva {

#if defined(_WIN32)
constexpr char kNativePathSeparator = '\\';
constexpr bool kPathsHaveDrives = true;
#else
constexpr char kNativePathSeparator = '/';
constexpr bool kPathsHaveDrives = false;
#endif

namespace crt {

// The four parts of a path, which put together give the path again.
struct PathParts {
  std::string drive;  // "C:" or ""
  std::string dir;    // up to and including the last separator
  std::string name;   // up to the last "." after the directory
  std::string ext;    // from that "."
};

// _splitpath, nothing cut however long a part is. A null path is "".
PathParts splitPath(const char* path);

// _makepath: drive, dir (with a separator added when it ends in none), name,
// then ext (with a "." put before it when it has none). Any part may be null
// or "". The result has whatever length the parts need.
std::string makePath(const char* drive, const char* dir, const char* name, const char* ext);

}  // namespace crt
}  // namespace korva

#endif  // KORVA_PLATFORM_CRT_PATH_H_
