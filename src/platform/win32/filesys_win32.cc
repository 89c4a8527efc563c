// The Windows file-system service: _wstat64 and _waccess of the C runtime for
// status and existence (the path widened through the process's code page:
// the runtime's 8-bit calls look at a path's last byte, which in a
// double-byte code page may be the second byte of a character), FindFirstFileA/FindNextFileA for enumeration, and
// the runtime's error texts. Windows errors are answered as C error numbers
// (system_error.h).
//
// Thread-safety: the service holds no state.
// Ownership: a DirectoryReader owns its search handle and closes it when
// destroyed.
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/crt_text.h"
#include "platform/filesys.h"
#include "platform/win32/path_chars_win32.h"
#include "platform/win32/system_error.h"

namespace korva {
namespace {

// The C runtime's status calls refuse a trailing separator ("C:\dir\"),
// except on a root ("C:\", "\"). The path in UTF-16; false when the code
// page has no such text.
bool widePathWithoutTrailingSeparator(const std::string& path, std::wstring* wide) {
  std::string p = path;
  win32::dropTrailingSeparators(&p);
  const size_t units = crt::textToWide(nullptr, p.c_str(), 0);
  if (units == static_cast<size_t>(-1)) return false;
  wide->assign(units + 1, L'\0');
  if (crt::textToWide(&(*wide)[0], p.c_str(), units + 1) != units) return false;
  wide->resize(units);
  return true;
}

class Win32DirectoryReader : public DirectoryReader {
 public:
  // handle may be INVALID_HANDLE_VALUE for a directory without entries.
  Win32DirectoryReader(HANDLE handle, const WIN32_FIND_DATAA& first)
      : handle_(handle), first_(first), haveFirst_(handle != INVALID_HANDLE_VALUE) {}
  ~Win32DirectoryReader() override {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  Win32DirectoryReader(const Win32DirectoryReader&) = delete;
  Win32DirectoryReader& operator=(const Win32DirectoryReader&) = delete;

  bool next(std::string* name, int* error) override {
    if (error) *error = 0;
    if (haveFirst_) {
      haveFirst_ = false;
      name->assign(first_.cFileName);
      return true;
    }
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    WIN32_FIND_DATAA data;
    if (!FindNextFileA(handle_, &data)) {
      const DWORD failure = GetLastError();
      if (error && failure != ERROR_NO_MORE_FILES) *error = win32::errnoFromSystemError(failure);
      return false;
    }
    name->assign(data.cFileName);
    return true;
  }

 private:
  HANDLE handle_;
  WIN32_FIND_DATAA first_;
  bool haveFirst_;
};

class Win32FileSystem : public FileSystem {
 public:
  int getStatus(const std::string& path, FileStatus* status) override {
    std::wstring wide;
    if (!widePathWithoutTrailingSeparator(path, &wide)) return ENOENT;
    struct _stat64 st;
    if (_wstat64(wide.c_str(), &st) != 0) return errno;
    status->isDirectory = (st.st_mode & _S_IFDIR) != 0;
    status->size = static_cast<int64_t>(st.st_size);
    return 0;
  }

  int checkAccess(const std::string& path) override {
    std::wstring wide;
    if (!widePathWithoutTrailingSeparator(path, &wide)) return ENOENT;
    return _waccess(wide.c_str(), 0) == 0 ? 0 : errno;
  }

  int openDirectory(const std::string& path, std::unique_ptr<DirectoryReader>* reader) override {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return win32::lastErrno();
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return ENOTDIR;
    // "C:" stays drive-relative ("C:*"), as the system reads it.
    std::string pattern = path;
    if (!pattern.empty() && !win32::endsInPathSeparator(pattern) &&
        win32::lastSingleByteChar(pattern) != ':') {
      pattern += '\\';
    }
    pattern += '*';
    WIN32_FIND_DATAA first{};
    HANDLE handle = FindFirstFileA(pattern.c_str(), &first);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_NOT_FOUND) {
      return win32::lastErrno();
    }
    // Own the search before anything else can fail.
    std::unique_ptr<Win32DirectoryReader> owner;
    try {
      owner.reset(new Win32DirectoryReader(handle, first));
    } catch (...) {
      if (handle != INVALID_HANDLE_VALUE) FindClose(handle);
      throw;
    }
    *reader = std::move(owner);
    return 0;
  }

  // Who may write into a directory is a matter of its access control list,
  // and creating a link takes a privilege of its own: no link is refused
  // here (as for the action log's file); the entry's status is taken as
  // before, by getStatus.
  int checkUnfollowedLink(const std::string&, const std::string&, bool* unfollowed) override {
    *unfollowed = false;
    return 0;
  }
};

}  // namespace

FileSystem& defaultFileSystem() {
  static Win32FileSystem service;
  return service;
}

// The C runtime keeps the text per thread.
std::string errorText(int error) { return std::strerror(error); }

}  // namespace korva
