// Files of the tests: a file read whole (its bytes, or as text with the
// platform's line ends read as "\n"), and a fresh temporary directory that is
// removed with its tree.
//
// Thread-safety: the functions are plain; a TempDir belongs to one test.
// Names of new directories are unique within the process (a counter) and
// across processes (the process id).
// Ownership: a TempDir owns its directory and everything under it.
#ifndef KORVA_TESTS_COMMON_TEST_FILES_H_
#define KORVA_TESTS_COMMON_TEST_FILES_H_

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>

#include "common/test_platform.h"
#include "platform/module.h"

namespace korva_test_common {

// A file's bytes ("" when it cannot be read).
inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::in | std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// A text file's text: read in text mode, so that the platform's line ends
// ("\r\n" on Windows) read as "\n".
inline std::string readText(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The system's temporary directory as the programs see it (on POSIX $TMPDIR,
// else /tmp; on Windows what GetTempPath answers).
inline std::filesystem::path tempBase() { return korva::temporaryDirectory(); }

// A fresh directory base/<prefix><process id>-<n>; an empty path when it
// cannot be made.
inline std::filesystem::path makeTempDir(const std::filesystem::path& base,
                                         const std::string& prefix) {
  static std::atomic<int> serial{0};
  const std::string stem = prefix + std::to_string(korva_test::processId()) + "-";
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::filesystem::path dir = base / (stem + std::to_string(serial++));
    std::error_code error;
    if (std::filesystem::create_directory(dir, error)) return dir;
    if (error) return std::filesystem::path();
  }
  return std::filesystem::path();
}

// A fresh directory under base (the system's temporary directory unless
// given), named after prefix; throws when none can be made. Its tree is
// removed on destruction, directories a test made unreadable included.
class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "korva-test-") : TempDir(tempBase(), prefix) {}
  TempDir(const std::filesystem::path& base, const std::string& prefix)
      : path_(makeTempDir(base, prefix)) {
    if (path_.empty()) throw std::runtime_error("no temporary directory could be made");
  }
  ~TempDir() {
    namespace fs = std::filesystem;
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (auto it = fs::recursive_directory_iterator(
             path_, fs::directory_options::skip_permission_denied, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
      if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
      }
    }
    fs::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }
  // The full path of a file in the directory.
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  // Writes content as it stands (bytes) into the file name; answers its full path.
  std::string write(const std::string& name, const std::string& content) const {
    const std::string p = file(name);
    std::ofstream(p, std::ios::binary) << content;
    return p;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace korva_test_common

#endif  // KORVA_TESTS_COMMON_TEST_FILES_H_
