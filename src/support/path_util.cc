// Path helpers over the C runtime's path rules (platform/crt_path.h). The
// separator is a single byte that never occurs inside a multibyte character
// of the encodings in use, so the scans below work on bytes.
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
