// The C runtime's path rules on Windows: _splitpath and _makepath ("\" and "/"
// both separate; a drive "X:" comes first), worked out here by stepping over
// the characters of the process's multibyte code page (platform/crt_text.h).
// The runtime's own functions may compare bytes, and in a double-byte code
// page the byte of "\" is also the second byte of many characters: a
// directory ending in such a character would lose or double its end. No part
// is cut however long it is.
//
// Thread-safety: pure functions. Ownership: results are new values.
#include <cstring>
#include <string>

#include "platform/crt_path.h"
#include "platform/crt_text.h"
#include "platform/win32/path_chars_win32.h"

namespace korva {
namespace crt {
using win32::charStep;
using win32::isPathSeparator;

PathParts splitPath(const char* path) {
  PathParts parts;
  if (path == nullptr) return parts;
  const char* p = path;
  // A drive is a one-byte character followed by ":".
  if (p[0] != '\0' && charLength(p, kMaxCharBytes) == 1 && p[1] == ':') {
    parts.drive.assign(p, 2);
    p += 2;
  }
  const char* nameStart = p;
  const char* lastDot = nullptr;
  for (const char* q = p; *q != '\0'; q += charStep(q)) {
    if (isPathSeparator(*q)) {
      nameStart = q + 1;
      lastDot = nullptr;
    } else if (*q == '.') {
      lastDot = q;
    }
  }
  const char* end = nameStart + std::strlen(nameStart);
  const char* nameEnd = lastDot ? lastDot : end;
  parts.dir.assign(p, nameStart);
  parts.name.assign(nameStart, nameEnd);
  parts.ext.assign(nameEnd, end);
  return parts;
}

std::string makePath(const char* drive, const char* dir, const char* name, const char* ext) {
  std::string out;
  if (drive != nullptr && *drive != '\0') {
    out += *drive;
    out += ':';
  }
  if (dir != nullptr && *dir != '\0') {
    out += dir;
    if (!win32::endsInPathSeparator(dir)) out += '\\';
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
