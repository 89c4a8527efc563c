// The server's stdio files on Windows: _open with _O_EXCL, a scratch file in
// GetTempPathA's folder opened with FILE_FLAG_DELETE_ON_CLOSE and handed to
// the C runtime, _fseeki64 and _ftelli64.
//
// Thread-safety: no state of its own.
// Ownership: handles and descriptors are closed on every failure path; the
// FILE that takes one over closes it (and with it the scratch file).
#include "platform/win32/windows_api.h"
// windows.h first.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "platform/stdio_files.h"
#include "platform/win32/system_error.h"

namespace korva {
namespace {

// The descriptor as a FILE, or null with *error set (the descriptor closed).
StdioFile adopt(int fd, const char* mode, int* error) {
  std::FILE* f = ::_fdopen(fd, mode);
  if (!f) {
    *error = errno ? errno : EMFILE;
    ::_close(fd);
  }
  return StdioFile(f);
}

}  // namespace

StdioFile createNewFile(const std::string& path, bool privateFile, int* error) {
  // Windows has no owner-only mode bits: a private file keeps the folder's
  // inherited access rules, which a user's profile limits to its owner.
  (void)privateFile;
  int fd = ::_open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                   _S_IREAD | _S_IWRITE);
  if (fd < 0) {
    *error = errno;
    return nullptr;
  }
  return adopt(fd, "wb", error);
}

StdioFile openScratchFile(int* error) {
  char folder[MAX_PATH + 1];
  const DWORD length = GetTempPathA(sizeof folder, folder);
  if (length == 0 || length > MAX_PATH) {
    *error = length == 0 ? win32::lastErrno() : ENAMETOOLONG;
    return nullptr;
  }
  char name[MAX_PATH];
  if (GetTempFileNameA(folder, "kvs", 0, name) == 0) {
    *error = win32::lastErrno();
    return nullptr;
  }
  // GetTempFileName made the file; it is opened again to go when closed,
  // shared with nobody.
  HANDLE handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                              CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    *error = win32::lastErrno();
    DeleteFileA(name);
    return nullptr;
  }
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
  if (fd < 0) {
    *error = errno ? errno : EMFILE;
    CloseHandle(handle);
    return nullptr;
  }
  return adopt(fd, "w+b", error);
}

int seekFile(std::FILE* f, int64_t offset, int whence) { return ::_fseeki64(f, offset, whence); }

int64_t tellFile(std::FILE* f) { return ::_ftelli64(f); }

}  // namespace korva
