// SSFileSearch: walks the entries of a list of directories whose names match a
// pattern with the wildcards "*" (any run of characters) and "?" (one
// character), one directory after the other, one open search at a time.
// Also matchesPattern(), the wildcard rule on its own.
//
// Thread-safety: one search is used by one thread.
// Ownership: the object owns its open enumeration and closes it in close()
// and when destroyed.
#ifndef KORVA_SUPPORT_FILE_SEARCH_H_
#define KORVA_SUPPORT_FILE_SEARCH_H_

#include <memory>

#include "platform/filesys.h"
#include "support/containers.h"
#include "support/sstring.h"

// Whether name matches pattern: "*" matches any run of characters (also
// none), "?" exactly one character, anything else itself (case significant).
// The pattern "*.*" matches every name, as the system search always did.
bool matchesPattern(const char* pattern, const char* name);

class SSFileSearch {
 public:
  SSFileSearch();
  ~SSFileSearch();
  SSFileSearch(const SSFileSearch&) = delete;
  SSFileSearch& operator=(const SSFileSearch&) = delete;

  // Stores the pattern and a copy of the directories; searches nothing yet.
  bool start(const SAnsiString& pattern, const SIArray<SAnsiString>& directories,
             bool includeDots = false);
  // The next matching entry: its name, or with withPath the directory joined
  // with it. False when every directory is exhausted.
  bool next(SAnsiString* name, bool withPath = false);
  // Closes an open search and opens one on directory; true with the first
  // matching entry ("." and ".." included when they match).
  bool FindFirst(const SAnsiString& directory, SAnsiString* name);
  void close();

  // The error number of the last directory that could not be opened or read
  // to its end; 0 when none failed.
  int lastError() const { return lastError_; }
  const SAnsiString& currentDirectory() const { return currentDirectory_; }

 private:
  // The next entry of the open search that matches the pattern.
  bool fetch(SAnsiString* name);
  bool isDots(const SAnsiString& name) const;

  SAnsiString pattern_;
  SIArray<SAnsiString> directories_;
  int nextDirectory_ = 0;
  SAnsiString currentDirectory_;
  std::unique_ptr<korva::DirectoryReader> handle_;
  bool includeDots_ = false;
  int lastError_ = 0;
};

#endif  // KORVA_SUPPORT_FILE_SEARCH_H_
