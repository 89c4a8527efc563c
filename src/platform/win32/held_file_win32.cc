// Held files on Windows: a file opened with no sharing and
// FILE_FLAG_DELETE_ON_CLOSE. While a handle is open nobody can open it again
// (ERROR_SHARING_VIOLATION), in this process or another; when the last handle
// closes, the holder's own or the system's at the end of its process, the
// file goes.
//
// Thread-safety: no state of its own.
// Ownership: a HeldFile closes its handle (and so removes its file).
#include "platform/win32/windows_api.h"
// windows.h first.
#include "platform/held_file.h"
#include "platform/win32/system_error.h"

namespace korva {
namespace {

HANDLE openHeld(const std::string& path, DWORD disposition) {
  return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, disposition,
                     FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

}  // namespace

HeldFile::~HeldFile() { CloseHandle(reinterpret_cast<HANDLE>(handle_)); }

int createHeldFile(const std::string& path, std::unique_ptr<HeldFile>* out) {
  HANDLE handle = openHeld(path, CREATE_NEW);
  if (handle == INVALID_HANDLE_VALUE) return win32::lastErrno();
  out->reset(new HeldFile(path, reinterpret_cast<intptr_t>(handle)));
  return 0;
}

HoldAnswer takeHeldFile(const std::string& path, std::unique_ptr<HeldFile>* out) {
  HANDLE handle = openHeld(path, OPEN_EXISTING);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? HoldAnswer::Gone
                                                                          : HoldAnswer::Held;
  }
  out->reset(new HeldFile(path, reinterpret_cast<intptr_t>(handle)));
  return HoldAnswer::Taken;
}

}  // namespace korva
