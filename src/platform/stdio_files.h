// The C stdio files the embedded server needs beyond the standard library: a
// new file that never replaces an existing one, an unnamed scratch file in
// the system's temporary folder, and 64-bit positions in a file (a `long` is
// 32 bits on 32-bit Windows).
//
// On POSIX: open with O_CREAT | O_EXCL (permissions 0600 for a private file),
// an unlinked mkstemp file in $TMPDIR (else /tmp), fseeko/ftello. On Windows:
// _open with _O_CREAT | _O_EXCL, a file in GetTempPath's folder opened with
// FILE_FLAG_DELETE_ON_CLOSE (not msvcrt's tmpfile, which makes its file in
// the root of the current drive), _fseeki64/_ftelli64.
//
// Thread-safety: the functions keep no state and may run on any thread.
// Ownership: a StdioFile owns its FILE and closes it when it goes (a scratch
// file's content goes with it).
#ifndef KORVA_PLATFORM_STDIO_FILES_H_
#define KORVA_PLATFORM_STDIO_FILES_H_

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace korva {

struct StdioFileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using StdioFile = std::unique_ptr<std::FILE, StdioFileCloser>;

// Creates path (in the process's encoding) as a new file open for writing in
// binary mode; fails with EEXIST when anything is there already. A private
// file is readable and writable by its owner only where the system has such
// permissions. Null with *error set (a C error number) on failure.
StdioFile createNewFile(const std::string& path, bool privateFile, int* error);

// A new, empty scratch file open for reading and writing in binary mode,
// seen by this process alone and removed when closed (or when the process
// ends). Null with *error set on failure.
StdioFile openScratchFile(int* error);

// fseek and ftell with 64-bit offsets: 0 or -1 (errno set), and the position
// or -1.
int seekFile(std::FILE* f, int64_t offset, int whence);
int64_t tellFile(std::FILE* f);

}  // namespace korva

#endif  // KORVA_PLATFORM_STDIO_FILES_H_
