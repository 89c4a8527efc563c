// Windows error codes (GetLastError) as the C error numbers in which the
// platform services answer, and an owner of a Windows handle.
//
// Thread-safety: pure functions; a ScopedHandle is used by one thread.
// Ownership: a ScopedHandle closes the handle it holds unless released.
#ifndef KORVA_PLATFORM_WIN32_SYSTEM_ERROR_H_
#define KORVA_PLATFORM_WIN32_SYSTEM_ERROR_H_

#include "platform/win32/windows_api.h"

namespace korva {
namespace win32 {

// ENOENT for a missing file, path, drive or network name; EACCES for access
// and sharing refusals; ENOMEM, ENOTDIR, EEXIST, EINVAL, EMFILE, ENAMETOOLONG
// where they fit; EIO for anything else.
int errnoFromSystemError(DWORD error);

// The C error number of the calling thread's last Windows error.
int lastErrno();

class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ~ScopedHandle() {
    if (valid()) CloseHandle(handle_);
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE get() const { return handle_; }
  // Gives the handle up without closing it.
  HANDLE release() {
    HANDLE h = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return h;
  }

 private:
  HANDLE handle_;
};

}  // namespace win32
}  // namespace korva

#endif  // KORVA_PLATFORM_WIN32_SYSTEM_ERROR_H_
