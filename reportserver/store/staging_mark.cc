// Staging marks: tokens unique among running stagings, their files "<repository>-staging-<token>"
// beside the repository.
#include "reportserver/store/staging_mark.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "platform/filesys.h"
#include "platform/server_home_default.h"
#include "reportserver/text/local_path.h"

namespace korva {
namespace {

constexpr size_t kTokenLength = 16;

std::string markPath(const std::string& repositoryPath, const std::string& token) {
  return repositoryPath + "-staging-" + token;
}

// Sixteen lower-case hexadecimal digits: nothing else is ever made into a path.
bool isToken(const std::string& text) {
  if (text.size() != kTokenLength) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// Tokens need only differ from those of stagings running at the same time
// (a mark already there is never taken: make() tries another): a random
// start for the process, then a step of a bijective mix per token, so that
// no random device is opened for every staging.
std::string newToken() {
  static const uint64_t start = [] {
    std::random_device random;
    return (static_cast<uint64_t>(random()) << 32) ^ random();
  }();
  static std::atomic<uint64_t> count{0};
  uint64_t x = start + 0x9e3779b97f4a7c15ULL * (count.fetch_add(1) + 1);
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  x ^= x >> 31;
  char text[kTokenLength + 1];
  std::snprintf(text, sizeof text, "%08x%08x", static_cast<unsigned>(x >> 32),
                static_cast<unsigned>(x & 0xffffffffu));
  return text;
}

}  // namespace

std::unique_ptr<StagingMark> StagingMark::make(const std::string& repositoryPath,
                                               std::string* error) {
  int err = 0;
  for (int attempt = 0; attempt < 8; ++attempt) {
    const std::string token = newToken();
    std::unique_ptr<HeldFile> file;
    err = createHeldFile(markPath(repositoryPath, token), &file);
    if (err == 0) return std::unique_ptr<StagingMark>(new StagingMark(token, std::move(file)));
    if (err != EEXIST && err != EAGAIN) break;
  }
  if (error) {
    *error = "Cannot mark the staging of report contents beside " + repositoryPath + ": " +
             errorText(err) + ".";
  }
  return nullptr;
}

void removeLeftMarks(const std::string& repositoryPath, const std::string& ownToken) {
  // The base name is found by characters (a double-byte character may end
  // in the byte of "\").
  const std::string base = localBaseName(repositoryPath);
  const size_t slash = repositoryPath.size() - base.size();
  const std::string folder = slash > 0 ? repositoryPath.substr(0, slash) : ".";
  const std::string prefix = base + "-staging-";
  std::vector<std::string> tokens;
  {
    std::unique_ptr<DirectoryReader> reader;
    if (defaultFileSystem().openDirectory(folder, &reader) != 0) return;
    std::string name;
    int error = 0;
    while (reader->next(&name, &error)) {
      if (name.compare(0, prefix.size(), prefix) != 0) continue;
      std::string token = name.substr(prefix.size());
      if (token != ownToken) tokens.push_back(std::move(token));
    }
  }
  for (const std::string& token : tokens) {
    std::unique_ptr<HeldFile> mark;
    takeOverEndedStaging(repositoryPath, token, &mark);  // letting it go removes it
  }
}

bool takeOverEndedStaging(const std::string& repositoryPath, const std::string& token,
                          std::unique_ptr<HeldFile>* mark) {
  if (!isToken(token)) return false;
  return takeHeldFile(markPath(repositoryPath, token), mark) != HoldAnswer::Held;
}

}  // namespace korva
