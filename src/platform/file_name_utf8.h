// A local file name (in the process's 8-bit encoding, as the system's file
// functions read it) in UTF-8, for libraries that take UTF-8 file names
// (SQLite), and back, for names kept in UTF-8 (a report server's titles)
// that become files. On POSIX file names are bytes and pass unchanged; on
// Windows the name is read in the ANSI code page of the file functions and
// written again in UTF-8, or the other way round.
//
// Thread-safety: a pure function.
// Ownership: results are new values.
#ifndef KORVA_PLATFORM_FILE_NAME_UTF8_H_
#define KORVA_PLATFORM_FILE_NAME_UTF8_H_

#include <string>

namespace korva {

// False when the name is no text of the system's file code page.
bool fileNameAsUtf8(const std::string& local, std::string* utf8);

// The local spelling of a UTF-8 name; false when the system's file code page
// cannot hold every character exactly (no character is replaced by a
// look-alike).
bool fileNameFromUtf8(const std::string& utf8, std::string* local);

}  // namespace korva

#endif  // KORVA_PLATFORM_FILE_NAME_UTF8_H_
