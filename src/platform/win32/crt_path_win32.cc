// The C runtime's own path functions on Windows: _splitpath (its bounded
// form, _splitpath_s, which the plain one forwards to with the short
// _MAX_FNAME limits) into buffers as long as the path, so no part is cut
// however long; and _makepath into a buffer as long as the parts need.
//
// Thread-safety: pure functions. Ownership: results are new values.
#include <stdlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/crt_path.h"

namespace korva {
namespace crt {
namespace {

size_t lengthOf(const char* text) { return text ? std::strlen(text) : 0; }

}  // namespace

PathParts splitPath(const char* path) {
  if (path == nullptr) path = "";
  // Every part is a piece of the path; a drive needs 3 bytes.
  const size_t size = std::strlen(path) + 3;
  std::vector<char> drive(size), dir(size), name(size), ext(size);
  PathParts parts;
  if (_splitpath_s(path, drive.data(), size, dir.data(), size, name.data(), size, ext.data(),
                   size) != 0) {
    return parts;  // only for a null path, which was made ""
  }
  parts.drive = drive.data();
  parts.dir = dir.data();
  parts.name = name.data();
  parts.ext = ext.data();
  return parts;
}

std::string makePath(const char* drive, const char* dir, const char* name, const char* ext) {
  // Each part, plus a ":", a separator, a "." and the terminator at most.
  const size_t size = lengthOf(drive) + lengthOf(dir) + lengthOf(name) + lengthOf(ext) + 5;
  std::vector<char> buffer(size, '\0');
  _makepath(buffer.data(), drive, dir, name, ext);
  return std::string(buffer.data());
}

}  // namespace crt
}  // namespace korva
