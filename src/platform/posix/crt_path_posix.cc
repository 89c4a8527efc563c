// The C runtime's path functions on POSIX, which has neither them nor drives:
// paths split at their last "/" and their last "." after it; a drive is never
// answered and one given is ignored. "/" and "." are single bytes that never
// occur inside a multibyte character of the encodings in use, so the scans
// work on bytes.
//
// Thread-safety: pure functions. Ownership: results are new values.
#include <cstring>
#include <string>

#include "platform/crt_path.h"

namespace korva {
namespace crt {

PathParts splitPath(const char* path) {
  if (path == nullptr) path = "";
  const char* slash = std::strrchr(path, kNativePathSeparator);
  const char* nameStart = slash ? slash + 1 : path;
  const char* dot = std::strrchr(nameStart, '.');
  const char* nameEnd = dot ? dot : nameStart + std::strlen(nameStart);
  PathParts parts;
  parts.dir.assign(path, nameStart);
  parts.name.assign(nameStart, nameEnd);
  parts.ext.assign(nameEnd);
  return parts;
}

std::string makePath(const char* /*drive*/, const char* dir, const char* name, const char* ext) {
  std::string out;
  if (dir != nullptr && *dir != '\0') {
    out += dir;
    if (out.back() != kNativePathSeparator) out += kNativePathSeparator;
  }
  if (name != nullptr) out += name;
  if (ext != nullptr && *ext != '\0') {
    if (*ext != '.') out += '.';
    out += ext;
  }
  return out;
}

}  // namespace crt
}  // namespace korva
