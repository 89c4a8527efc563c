// Local file paths in the process's own multibyte encoding. The client turns
// its 8-bit paths into wide text with the platform's conversion (the
// locale's on POSIX, the process's code page on Windows); the server turns
// them back the same way, so that a file
// is found whatever the locale (UTF-8, Latin-1, ...). Descriptions and stored
// names are UTF-8, so a local path is converted back for them.
//
// Thread-safety: pure functions; they read the process's locale or code
// page, which is not meant to change while they run.
#ifndef KORVA_REPORTSERVER_TEXT_LOCAL_PATH_H_
#define KORVA_REPORTSERVER_TEXT_LOCAL_PATH_H_

#include <string>

namespace korva {

// The local spelling of a wide path; false when a character has none in the
// process's encoding (or is a null character).
bool localPathFromWide(const std::wstring& wide, std::string* out);

// The UTF-8 form of a local path; bytes that do not decode become U+FFFD.
std::string localPathAsUtf8(const std::string& path);

// The last part of a local path (after its last separator, found by
// characters), still in the process's encoding.
std::string localBaseName(const std::string& path);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_TEXT_LOCAL_PATH_H_
