// Directory identity on Windows: the volume serial number and the file index
// of GetFileInformationByHandle. The directory is opened without access
// rights (FILE_FLAG_BACKUP_SEMANTICS, as directories need) and reparse
// points are followed, so a link and its target answer the same identity.
#include <cstdint>

#include "platform/dir_identity.h"
#include "platform/win32/system_error.h"

namespace korva {

int directoryIdentity(const std::string& path, DirectoryIdentity* identity) {
  win32::ScopedHandle handle(
      CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle.valid()) return win32::lastErrno();
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle.get(), &info)) return win32::lastErrno();
  identity->device = info.dwVolumeSerialNumber;
  identity->node = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return 0;
}

}  // namespace korva
