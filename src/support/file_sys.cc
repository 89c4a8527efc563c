// SFileSys over the platform's file-system service.
#include "support/file_sys.h"

#include <cerrno>
#include <cstring>

#include "platform/filesys.h"
#include "support/file_search.h"
#include "support/mbcs.h"
#include "support/path_util.h"

namespace {

SFileSysException notFound(const SAnsiString& path, const char* operation) {
  return SFileSysException(SFileSysException::kTypeFileNotFound, SFileSysException::kNotFound, path,
                           SAnsiString(korva::errorText(ENOENT).c_str()), SAnsiString(operation));
}

// "C:" alone names a drive, where paths carry drives at all.
bool isDriveName(const SAnsiString& path) {
  return korva::kPathsHaveDrives && path.getNBytes() == 2 && path.getBuffer()[1] == ':';
}

}  // namespace

bool SFileSys::exists(const SAnsiString& path) {
  SAnsiString checked(path);
  removeTrailingSeparator(checked, kPathSeparator);
  if (checked.isEmpty()) return false;
  int error = korva::fileSystem().checkAccess(checked.getBuffer());
  // A part of the path that is a file (ENOTDIR) means the path is absent, as
  // a missing part does; any other refusal leaves a path that is there.
  return error == 0 || (error != ENOENT && error != EINVAL && error != ENOTDIR);
}

bool SFileSys::isDrive(const SAnsiString& path) {
  if (!exists(path)) throw notFound(path, "isDrive");
  return isDriveName(path);
}

bool SFileSys::isDir(const SAnsiString& path) {
  if (!exists(path)) throw notFound(path, "isDir");
  if (isDriveName(path)) return false;
  SAnsiString checked(path);
  removeTrailingSeparator(checked, kPathSeparator);
  korva::FileStatus status;
  int error = korva::fileSystem().getStatus(checked.getBuffer(), &status);
  if (error != 0) {
    throw SFileSysException::fromErrno(SFileSysException::kTypeGetAttributes, error, path, "isDir");
  }
  return status.isDirectory;
}

void SFileSys::listing(const SAnsiString& directory, const SAnsiString& pattern,
                       SIArray<FileProp>& entries) {
  if (!exists(directory)) throw notFound(directory, "listing");

  // "sub/*.rpt" searches the sub-directory sub for "*.rpt".
  const char* text = pattern.getBuffer();
  const char* slash = mbcs::findLastChar(text, text + pattern.getNBytes(), kPathSeparator);
  SAnsiString subDirectory;
  SAnsiString namePattern(pattern);
  if (slash != nullptr) {
    const char* start = text[0] == kPathSeparator ? text + 1 : text;
    subDirectory = SAnsiString(start, static_cast<int>(slash - start < 0 ? 0 : slash - start));
    namePattern = SAnsiString(slash + 1);
  }
  SAnsiString searchDirectory =
      subDirectory.isEmpty() ? directory : joinPath(directory, subDirectory);
  if (!isDir(searchDirectory)) return;
  ensureTrailingSeparator(searchDirectory, kPathSeparator);

  SIArray<SAnsiString> directories;
  directories.add(searchDirectory);
  SSFileSearch search;
  search.start(namePattern, directories, false);  // the search leaves out "." and ".."
  SAnsiString name;
  while (search.next(&name, false)) {
    SAnsiString fullPath = searchDirectory + name;
    FileProp entry;
    entry.name = name;
    int error = korva::fileSystem().checkUnfollowedLink(searchDirectory.getBuffer(),
                                                        name.getBuffer(), &entry.isUnfollowedLink);
    if (error == 0 && !entry.isUnfollowedLink) {
      korva::FileStatus status;
      error = korva::fileSystem().getStatus(fullPath.getBuffer(), &status);
      entry.isDirectory = status.isDirectory;
      entry.size = status.size;
    }
    if (error != 0) {
      throw SFileSysException::fromErrno(SFileSysException::kTypeGetAttributes, error, fullPath,
                                         "listing");
    }
    entries.add(entry);
  }
  // An enumeration cut short must not pass for a complete listing.
  if (search.lastError() != 0) {
    throw SFileSysException::fromErrno(SFileSysException::kTypeGetAttributes, search.lastError(),
                                       searchDirectory, "listing");
  }
}

bool SFileSys::isEntryFailure(const SFileSysException& e, const SAnsiString& directory) {
  if (e.type() != SFileSysException::kTypeGetAttributes || !(e.operation() == "listing")) {
    return false;
  }
  // An entry's path is the directory, a separator and a name; the failing
  // enumeration names the directory (with its separator) alone.
  SAnsiString prefix(directory);
  ensureTrailingSeparator(prefix, kPathSeparator);
  const char* path = e.path().getBuffer();
  const size_t length = std::strlen(prefix.getBuffer());
  return std::strncmp(path, prefix.getBuffer(), length) == 0 && std::strlen(path) > length;
}
