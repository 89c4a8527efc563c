// The ends of a Windows path, found by stepping over the characters of the
// process's multibyte code page (platform/crt_text.h): in a double-byte code
// page the byte of "\" is also the second byte of many characters, so the
// last byte of a path is not always its last character.
//
// Thread-safety: pure functions. Ownership: the caller's strings.
#ifndef KORVA_PLATFORM_WIN32_PATH_CHARS_WIN32_H_
#define KORVA_PLATFORM_WIN32_PATH_CHARS_WIN32_H_

#include <string>

#include "platform/crt_text.h"

namespace korva {
namespace win32 {

inline bool isPathSeparator(char c) { return c == '\\' || c == '/'; }

// Bytes of the character at p (an invalid or cut one counts as one byte).
inline size_t charStep(const char* p) {
  const int length = crt::charLength(p, crt::kMaxCharBytes);
  return length > 0 ? static_cast<size_t>(length) : 1;
}

// The byte offset of the last character of path; npos when it is empty.
inline size_t lastCharOffset(const std::string& path) {
  size_t last = std::string::npos;
  for (size_t i = 0; i < path.size(); i += charStep(path.c_str() + i)) last = i;
  return last;
}

// The last character of path when it is a single byte, else '\0'.
inline char lastSingleByteChar(const std::string& path) {
  const size_t last = lastCharOffset(path);
  return last != std::string::npos && last + 1 == path.size() ? path[last] : '\0';
}

inline bool endsInPathSeparator(const std::string& path) {
  return isPathSeparator(lastSingleByteChar(path));
}

// Removes trailing separators, keeping one after a drive ("C:\") and the
// path's only character ("\").
inline void dropTrailingSeparators(std::string* path) {
  while (path->size() > 1 && endsInPathSeparator(*path)) {
    const std::string rest = path->substr(0, path->size() - 1);
    if (lastSingleByteChar(rest) == ':') return;
    *path = rest;
  }
}

}  // namespace win32
}  // namespace korva

#endif  // KORVA_PLATFORM_WIN32_PATH_CHARS_WIN32_H_
