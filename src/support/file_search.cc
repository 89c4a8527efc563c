// SSFileSearch and the wildcard rule, over the platform's directory
// enumeration.
#include "support/file_search.h"

#include <cstring>

#include "support/diagnostics.h"
#include "support/mbcs.h"
#include "support/path_util.h"

namespace {

// Bytes of the character at p (not the terminator); an invalid sequence
// counts as one byte.
int charLength(const char* p) {
  int n = mbcs::step(p, p + mbcs::kMaxCharBytes);
  return n < 1 ? 1 : n;
}

}  // namespace

bool matchesPattern(const char* pattern, const char* name) {
  if (pattern == nullptr || name == nullptr) return false;
  if (std::strcmp(pattern, "*.*") == 0) return true;
  const char* p = pattern;
  const char* n = name;
  // Where the last "*" resumed, to try it over one more character on a mismatch.
  const char* starPattern = nullptr;
  const char* starName = nullptr;
  while (*n != '\0') {
    if (*p == '*') {
      while (*p == '*') ++p;
      starPattern = p;
      starName = n;
      continue;
    }
    int nameLength = charLength(n);
    if (*p == '?') {
      ++p;
      n += nameLength;
      continue;
    }
    if (*p != '\0') {
      int patternLength = charLength(p);
      if (patternLength == nameLength && std::memcmp(p, n, nameLength) == 0) {
        p += patternLength;
        n += nameLength;
        continue;
      }
    }
    if (starPattern == nullptr) return false;
    starName += charLength(starName);
    p = starPattern;
    n = starName;
  }
  while (*p == '*') ++p;
  return *p == '\0';
}

SSFileSearch::SSFileSearch() = default;

SSFileSearch::~SSFileSearch() { close(); }

bool SSFileSearch::start(const SAnsiString& pattern, const SIArray<SAnsiString>& directories,
                         bool includeDots) {
  close();
  pattern_ = pattern;
  directories_ = directories;
  nextDirectory_ = 0;
  includeDots_ = includeDots;
  lastError_ = 0;
  return true;
}

bool SSFileSearch::next(SAnsiString* name, bool withPath) {
  SAnsiString found;
  for (;;) {
    bool have;
    if (!handle_) {
      if (nextDirectory_ >= directories_.getCount()) return false;
      SAnsiString directory = directories_[nextDirectory_++];
      have = FindFirst(directory, &found);
    } else {
      have = fetch(&found);
    }
    if (have) {
      if (!includeDots_ && isDots(found)) continue;
      if (name != nullptr) *name = withPath ? joinPath(currentDirectory_, found) : found;
      return true;
    }
    close();
  }
}

bool SSFileSearch::FindFirst(const SAnsiString& directory, SAnsiString* name) {
  if (handle_) {
    if (SDiagnostics::isCheckingOn(__FILE__)) {
      SDiagnostics::reportAssertion(__FILE__, __LINE__, "false",
                                    "Search stream is already open in SSFileSearch::FindFirst()");
    }
    close();
  }
  currentDirectory_ = directory;
  // An empty directory means the current one, as a relative name would.
  std::string path = directory.isEmpty() ? std::string(".") : std::string(directory.getBuffer());
  std::unique_ptr<korva::DirectoryReader> reader;
  int error = korva::fileSystem().openDirectory(path, &reader);
  if (error != 0) {
    lastError_ = error;
    return false;
  }
  handle_ = std::move(reader);
  SAnsiString found;
  if (!fetch(&found)) {
    close();
    return false;
  }
  if (name != nullptr) *name = found;
  return true;
}

void SSFileSearch::close() { handle_.reset(); }

bool SSFileSearch::fetch(SAnsiString* name) {
  std::string entry;
  int error = 0;
  while (handle_->next(&entry, &error)) {
    if (matchesPattern(pattern_.getBuffer(), entry.c_str())) {
      *name = entry.c_str();
      return true;
    }
  }
  if (error != 0) lastError_ = error;
  return false;
}

bool SSFileSearch::isDots(const SAnsiString& name) const {
  const char* text = name.getBuffer();
  return std::strcmp(text, ".") == 0 || std::strcmp(text, "..") == 0;
}
