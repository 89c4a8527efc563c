// Helpers of the file-system and net service tests of both platforms: a
// fixture with a fresh directory tree (a sub-directory "dir" and a 7-byte
// "file"), reading a directory listing to its end, and the host-name lookups
// every platform answers alike.
//
// Thread-safety: one test at a time. Ownership: the fixture owns its
// temporary directory and removes it after the test.
#ifndef KORVA_TESTS_PLATFORM_SERVICE_TEST_UTIL_H_
#define KORVA_TESTS_PLATFORM_SERVICE_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "platform/filesys.h"
#include "platform/net.h"

namespace service_test {

namespace fs = std::filesystem;

class FileTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ =
        fs::temp_directory_path() / ("korva-fsservice-" + std::to_string(std::random_device{}()));
    fs::create_directories(root_ / "dir");
    std::ofstream(root_ / "file") << "1234567";
  }
  void TearDown() override { fs::remove_all(root_); }
  std::string at(const std::string& rel) const { return (root_ / rel).string(); }

  fs::path root_;
  korva::FileSystem& service_ = korva::defaultFileSystem();
};

// Every name the reader gives until it stops, sorted; *error is its error
// then (0 at the end of the listing).
inline std::vector<std::string> readNames(korva::DirectoryReader& reader, int* error) {
  std::vector<std::string> names;
  std::string name;
  *error = -1;
  while (reader.next(&name, error)) names.push_back(name);
  std::sort(names.begin(), names.end());
  return names;
}

// "localhost" resolves to itself; each of the other names fails and leaves
// the answer as it was.
inline void expectOnlyLocalhostResolves(std::initializer_list<const char*> unresolvable) {
  std::string name = "unchanged";
  EXPECT_TRUE(korva::officialHostName("localhost", &name));
  EXPECT_EQ(name, "localhost");
  name = "unchanged";
  for (const char* host : unresolvable) {
    EXPECT_FALSE(korva::officialHostName(host, &name)) << (host ? host : "(null)");
  }
  EXPECT_EQ(name, "unchanged");
}

}  // namespace service_test

#endif  // KORVA_TESTS_PLATFORM_SERVICE_TEST_UTIL_H_
