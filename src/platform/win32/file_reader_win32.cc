// The Windows file opener. A path that names a device ("CON", "NUL", "COM1",
// in any folder) is answered as Other without being opened: its full path
// is then in the device namespace ("\\.\CON"). Anything else is first opened
// for its attributes only
// (no data access, which is what could start a device or connect to a
// pipe); GetFileType and the attributes of that handle give the kind. Only a
// regular file is then opened again for reading (ReOpenFile: the same file,
// whatever the path names by now); a directory keeps its attribute handle,
// and a device, pipe or console is answered as Other without being read.
// Files on a disk never keep a read waiting, so every read answers at once.
//
// Thread-safety: the opener holds no state.
// Ownership: a Win32FileReader owns its handle and closes it when destroyed.
#include <cerrno>
#include <utility>

#include "platform/file_reader.h"
#include "platform/win32/system_error.h"

namespace korva {
namespace {

using win32::ScopedHandle;

class Win32FileReader : public FileReader {
 public:
  Win32FileReader(HANDLE handle, FileKind kind) : handle_(handle), kind_(kind) {}

  FileKind kind() const override { return kind_; }

  int read(void* buffer, size_t size, size_t* got) override {
    *got = 0;
    if (kind_ == FileKind::Directory) return EISDIR;
    if (kind_ != FileKind::Regular || !handle_.valid()) return EBADF;
    const DWORD want = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD n = 0;
    if (!ReadFile(handle_.get(), buffer, want, &n, nullptr)) return win32::lastErrno();
    *got = n;
    return 0;
  }

 private:
  ScopedHandle handle_;
  FileKind kind_;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Whether Windows reads the path as a device name.
bool namesDevice(const std::string& path) {
  char full[MAX_PATH + 8];
  const DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  return n >= 4 && n < sizeof full && full[0] == '\\' && full[1] == '\\' && full[2] == '.' &&
         full[3] == '\\';
}

class Win32FileOpener : public FileOpener {
 public:
  int open(const std::string& path, std::unique_ptr<FileReader>* reader) override {
    if (namesDevice(path)) {
      *reader = std::make_unique<Win32FileReader>(INVALID_HANDLE_VALUE, FileKind::Other);
      return 0;
    }
    // Backup semantics: directories open too.
    ScopedHandle probe(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!probe.valid()) return win32::lastErrno();
    if (GetFileType(probe.get()) != FILE_TYPE_DISK) {
      *reader = std::make_unique<Win32FileReader>(INVALID_HANDLE_VALUE, FileKind::Other);
      return 0;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(probe.get(), &info)) return win32::lastErrno();
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      auto owner = std::make_unique<Win32FileReader>(probe.get(), FileKind::Directory);
      probe.release();
      *reader = std::move(owner);
      return 0;
    }
    ScopedHandle file(ReOpenFile(probe.get(), GENERIC_READ, kShareAll, FILE_FLAG_SEQUENTIAL_SCAN));
    if (!file.valid()) return win32::lastErrno();
    auto owner = std::make_unique<Win32FileReader>(file.get(), FileKind::Regular);
    file.release();
    *reader = std::move(owner);
    return 0;
  }
};

}  // namespace

FileOpener& defaultFileOpener() {
  static Win32FileOpener opener;
  return opener;
}

}  // namespace korva
