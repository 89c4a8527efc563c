// Path helpers over the C runtime's path rules (platform/crt_path.h). The
// ends of a path are found by stepping over its characters, never by looking
// at its bytes: in a double-byte code page (932, 936, 949, 950) the byte of
// "\" is also the second byte of many characters.
#include "support/path_util.h"

#include <cstring>
#include <string>

#include "support/mbcs.h"

namespace {

// Copies a part into a buffer of size bytes, cut at a character boundary
// when it does not fit, and terminates it.
void copyPart(char* buffer, int size, const std::string& part) {
  if (buffer == nullptr) return;
  const char* text = part.c_str();
  const int count = static_cast<int>(part.size());
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

// Where the last character of text[0, bytes) starts (text + bytes when empty).
const char* lastChar(const char* text, int bytes) {
  return mbcs::lastCharStart(text, text + bytes);
}

bool endsWith(const SAnsiString& path, char c) {
  const int n = path.getNBytes();
  const char* last = lastChar(path.getBuffer(), n);
  return n > 0 && last == path.getBuffer() + n - 1 && *last == c;
}

}  // namespace

SAnsiString makePath(const char* drive, const char* dir, const char* name, const char* ext) {
  return SAnsiString(korva::crt::makePath(drive, dir, name, ext).c_str());
}

void splitPath(const char* path, char* drive, char* dir, char* name, char* ext) {
  const korva::crt::PathParts parts = korva::crt::splitPath(path);
  copyPart(drive, kMaxDrive, parts.drive);
  copyPart(dir, kMaxDir, parts.dir);
  copyPart(name, kMaxFname, parts.name);
  copyPart(ext, kMaxExt, parts.ext);
}

void splitPath(const SAnsiString& path, SAnsiString* drive, SAnsiString* dir, SAnsiString* name,
               SAnsiString* ext) {
  const korva::crt::PathParts parts = korva::crt::splitPath(path.getBuffer());
  const auto assign = [](SAnsiString* to, const std::string& part) {
    if (to != nullptr && !part.empty()) {
      *to = SAnsiString(part.data(), static_cast<int>(part.size()));
    }
  };
  assign(drive, parts.drive);
  if (dir != nullptr && !parts.dir.empty()) {
    dir->append(parts.dir.data(), static_cast<int>(parts.dir.size()));
  }
  assign(name, parts.name);
  assign(ext, parts.ext);
}

void ensureTrailingSeparator(SAnsiString& path, char c) {
  if (path.getNBytes() > 0 && !endsWith(path, c)) path += c;
}

void removeTrailingSeparator(SAnsiString& path, char c) {
  const int n = path.getNBytes();
  const char* text = path.getBuffer();
  if (lastChar(text, n) <= text || !endsWith(path, c)) return;  // fewer than 2 characters
  // "C:\" is a drive root and keeps its separator.
  if (c == '\\' && lastChar(text, n - 1) == text + n - 2 && text[n - 2] == ':') return;
  path = SAnsiString(text, n - 1);
}

void removeLeadingSeparator(SAnsiString& path, char c) {
  const int n = path.getNBytes();
  // A path's first byte always starts its first character.
  if (lastChar(path.getBuffer(), n) <= path.getBuffer() || path.getBuffer()[0] != c) return;
  path = SAnsiString(path.getBuffer() + 1, n - 1);
}

SAnsiString joinPath(const SAnsiString& directory, const SAnsiString& name) {
  if (directory.isEmpty()) return name;
  const char* dir = directory.getBuffer();
  int dirBytes = directory.getNBytes();
  for (const char* last = lastChar(dir, dirBytes);
       dirBytes > 0 && last == dir + dirBytes - 1 && *last == kPathSeparator;
       last = lastChar(dir, dirBytes)) {
    --dirBytes;
  }
  const char* rest = name.getBuffer();
  while (*rest == kPathSeparator) ++rest;
  SAnsiString out(dir, dirBytes);
  out += kPathSeparator;
  out += rest;
  return out;
}
