// The Windows new-tree service: CreateDirectoryA, a new file by _open with
// _O_EXCL (stdio_files.h), MoveFileExA, which moves a directory only to a
// free name (an empty directory there is removed first), and a removal that
// walks the tree with FindFirstFileA, clearing the read-only attribute where
// it stands in the way. A directory link (a junction) is removed as itself,
// never entered.
//
// Thread-safety: the service holds no state.
// Ownership: every search handle is closed on every path.
#include "platform/win32/windows_api.h"
// windows.h first.
#include <cerrno>
#include <string>
#include <utility>
#include <vector>

#include "platform/new_tree.h"
#include "platform/win32/path_chars_win32.h"
#include "platform/win32/system_error.h"

namespace korva {
namespace {

std::string joined(const std::string& directory, const std::string& name) {
  return win32::endsInPathSeparator(directory) ? directory + name : directory + "\\" + name;
}

int removeFile(const std::string& path, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  return DeleteFileA(path.c_str()) ? 0 : win32::lastErrno();
}

int removeDirectory(const std::string& path, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  return RemoveDirectoryA(path.c_str()) ? 0 : win32::lastErrno();
}

// Removes what is in the directory, then the directory; the first failure
// is answered, the rest is still tried.
int removeContents(const std::string& path, DWORD attributes) {
  int first = 0;
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    std::vector<std::pair<std::string, DWORD>> entries;
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(joined(path, "*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
      first = win32::lastErrno();
    } else {
      do {
        const std::string name = data.cFileName;
        if (name != "." && name != "..") entries.emplace_back(name, data.dwFileAttributes);
      } while (FindNextFileA(search, &data));
      FindClose(search);
    }
    for (const auto& entry : entries) {
      const std::string child = joined(path, entry.first);
      const int error = (entry.second & FILE_ATTRIBUTE_DIRECTORY)
                            ? removeContents(child, entry.second)
                            : removeFile(child, entry.second);
      if (!first) first = error;
    }
  }
  const int error = removeDirectory(path, attributes);
  return first ? first : error;
}

class Win32NewTree : public NewTree {
 public:
  int makeDirectory(const std::string& path) override {
    return CreateDirectoryA(path.c_str(), nullptr) ? 0 : win32::lastErrno();
  }

  StdioFile createFile(const std::string& path, int* error) override {
    return createNewFile(path, false, error);
  }

  int moveDirectory(const std::string& from, const std::string& to) override {
    const DWORD attributes = GetFileAttributesA(to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return ENOTDIR;
      // A directory with anything in it is not removed: ENOTEMPTY.
      if (!RemoveDirectoryA(to.c_str())) {
        return GetLastError() == ERROR_DIR_NOT_EMPTY ? ENOTEMPTY : win32::lastErrno();
      }
    }
    return MoveFileExA(from.c_str(), to.c_str(), 0) ? 0 : win32::lastErrno();
  }

  int removeTree(const std::string& path) override {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return win32::lastErrno();
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return removeFile(path, attributes);
    return removeContents(path, attributes);
  }
};

}  // namespace

NewTree& defaultNewTree() {
  static Win32NewTree service;
  return service;
}

std::string withoutTrailingSeparators(const std::string& path) {
  std::string p = path;
  win32::dropTrailingSeparators(&p);
  return p;
}

}  // namespace korva
