// Path helpers over "/"-separated paths without drives. Separators and "."
// are single bytes that never occur inside a multibyte character of the
// encodings in use, so the scans below work on bytes.
#include "support/path_util.h"

#include <cstring>

#include "support/mbcs.h"

namespace {

struct PathParts {
  int dirEnd = 0;   // bytes [0, dirEnd) are the directory
  int nameEnd = 0;  // bytes [dirEnd, nameEnd) the name, [nameEnd, length) the extension
  int length = 0;
};

PathParts split(const char* path) {
  PathParts parts;
  parts.length = static_cast<int>(std::strlen(path));
  const char* slash = std::strrchr(path, kPathSeparator);
  parts.dirEnd = slash ? static_cast<int>(slash - path) + 1 : 0;
  const char* dot = std::strrchr(path + parts.dirEnd, '.');
  parts.nameEnd = dot ? static_cast<int>(dot - path) : parts.length;
  return parts;
}

// Copies count bytes of text into a buffer of size bytes, cut at a character
// boundary when it does not fit, and terminates it.
void copyPart(char* buffer, int size, const char* text, int count) {
  if (buffer == nullptr) return;
  int used = 0;
  while (used < count) {
    int step = mbcs::step(text + used, text + count);
    if (step < 1) step = 1;
    if (used + step > size - 1) break;
    used += step;
  }
  std::memcpy(buffer, text, used);
  buffer[used] = '\0';
}

}  // namespace

SAnsiString makePath(const char* /*drive*/, const char* dir, const char* name, const char* ext) {
  SAnsiString out;
  if (dir != nullptr && *dir != '\0') {
    out += dir;
    if (dir[std::strlen(dir) - 1] != kPathSeparator) out += kPathSeparator;
  }
  if (name != nullptr) out += name;
  if (ext != nullptr && *ext != '\0') {
    if (*ext != '.') out += '.';
    out += ext;
  }
  return out;
}

void splitPath(const char* path, char* drive, char* dir, char* name, char* ext) {
  if (path == nullptr) path = "";
  PathParts parts = split(path);
  copyPart(drive, kMaxDrive, path, 0);
  copyPart(dir, kMaxDir, path, parts.dirEnd);
  copyPart(name, kMaxFname, path + parts.dirEnd, parts.nameEnd - parts.dirEnd);
  copyPart(ext, kMaxExt, path + parts.nameEnd, parts.length - parts.nameEnd);
}

void splitPath(const SAnsiString& path, SAnsiString* /*drive*/, SAnsiString* dir, SAnsiString* name,
               SAnsiString* ext) {
  // A copy keeps the text alive should an output be the path itself.
  SAnsiString source(path);
  const char* text = source.getBuffer();
  PathParts parts = split(text);
  if (dir != nullptr && parts.dirEnd > 0) dir->append(text, parts.dirEnd);
  if (name != nullptr && parts.nameEnd > parts.dirEnd) {
    *name = SAnsiString(text + parts.dirEnd, parts.nameEnd - parts.dirEnd);
  }
  if (ext != nullptr && parts.length > parts.nameEnd) {
    *ext = SAnsiString(text + parts.nameEnd, parts.length - parts.nameEnd);
  }
}

void ensureTrailingSeparator(SAnsiString& path, char c) {
  int n = path.getNBytes();
  if (n > 0 && path.getBuffer()[n - 1] != c) path += c;
}

void removeTrailingSeparator(SAnsiString& path, char c) {
  int n = path.getNBytes();
  if (n < 2) return;
  const char* text = path.getBuffer();
  if (text[n - 1] != c) return;
  // "C:\" is a drive root and keeps its separator.
  if (c == '\\' && text[n - 2] == ':') return;
  path = SAnsiString(text, n - 1);
}

void removeLeadingSeparator(SAnsiString& path, char c) {
  int n = path.getNBytes();
  if (n < 2 || path.getBuffer()[0] != c) return;
  path = SAnsiString(path.getBuffer() + 1, n - 1);
}

SAnsiString joinPath(const SAnsiString& directory, const SAnsiString& name) {
  if (directory.isEmpty()) return name;
  const char* dir = directory.getBuffer();
  int dirBytes = directory.getNBytes();
  while (dirBytes > 0 && dir[dirBytes - 1] == kPathSeparator) --dirBytes;
  const char* rest = name.getBuffer();
  while (*rest == kPathSeparator) ++rest;
  SAnsiString out(dir, dirBytes);
  out += kPathSeparator;
  out += rest;
  return out;
}
