// The action log's file on Windows: opened with CreateFileA without
// following a reparse point (a symbolic link or junction) at the last
// component, checked through the open handle (so the checks see the file
// that was opened), only then truncated, and handed out as a C stream in
// text mode. Devices and pipes are written as they are, never truncated.
// Ownership and sharing of the directory are left to its access control
// lists: a user's temporary directory is the user's own.
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdint>

#include "platform/log_file.h"
#include "platform/win32/system_error.h"

namespace korva {

int openLogFile(const char* path, std::FILE** out) {
  *out = nullptr;
  if (!path || !*path) return ENOENT;
  win32::ScopedHandle file(CreateFileA(
      path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.valid()) return win32::lastErrno();
  if (GetFileType(file.get()) == FILE_TYPE_DISK) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file.get(), &info)) return win32::lastErrno();
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return ELOOP;
    if (!SetEndOfFile(file.get())) return win32::lastErrno();
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file.get()), _O_WRONLY | _O_TEXT);
  if (fd < 0) return errno ? errno : EMFILE;
  file.release();  // the descriptor owns the handle now
  std::FILE* stream = _fdopen(fd, "wt");
  if (!stream) {
    const int error = errno ? errno : ENOMEM;
    _close(fd);
    return error;
  }
  *out = stream;
  return 0;
}

}  // namespace korva
