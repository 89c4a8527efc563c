// Tests of module paths and the temporary directory.
#include "platform/module.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

int someFunction() { return 42; }

std::string realPath(const char* path) {
  char* resolved = realpath(path, nullptr);
  std::string result = resolved ? resolved : "";
  free(resolved);
  return result;
}

TEST(ModuleTest, PathOfCodeInTheProgramNamesTheProgram) {
  std::string program = realPath("/proc/self/exe");
  ASSERT_FALSE(program.empty());
  EXPECT_EQ(korva::modulePathOf(reinterpret_cast<const void*>(&someFunction)), program);
  // Still absolute after the working directory changes.
  char cwd[PATH_MAX];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir("/"), 0);
  std::string fromRoot = korva::modulePathOf(reinterpret_cast<const void*>(&someFunction));
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_EQ(fromRoot, program);
}

TEST(ModuleTest, PathOfDataInASharedLibraryNamesTheLibrary) {
  std::string path = korva::modulePathOf(stdout);  // the C library's stream object
  EXPECT_EQ(path.front(), '/') << path;
  EXPECT_NE(path.find("libc"), std::string::npos) << path;
  EXPECT_EQ(path, realPath(path.c_str()));
}

TEST(ModuleTest, AddressOutsideAnyModuleHasNoPath) {
  int onTheStack = 0;
  std::unique_ptr<int> onTheHeap(new int(0));
  EXPECT_EQ(korva::modulePathOf(nullptr), "");
  EXPECT_EQ(korva::modulePathOf(&onTheStack), "");
  EXPECT_EQ(korva::modulePathOf(onTheHeap.get()), "");
}

class TemporaryDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* saved = getenv("TMPDIR");
    hadTmpdir_ = saved != nullptr;
    if (saved) saved_ = saved;
    char pattern[] = "/tmp/korva-module-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    if (hadTmpdir_) {
      setenv("TMPDIR", saved_.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
    std::string command = "rm -rf '" + dir_ + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }

  // A directory under dir_ whose path has exactly `length` characters.
  std::string directoryOfLength(size_t length, char letter) {
    std::string path = dir_;
    while (path.size() < length) {
      size_t left = length - path.size() - 1;  // minus the "/"
      size_t part = std::min<size_t>(left, 100);
      if (left - part == 1) --part;  // never leave room for only "/"
      path += "/" + std::string(part, letter);
      EXPECT_EQ(mkdir(path.c_str(), 0700), 0) << path;
    }
    EXPECT_EQ(path.size(), length);
    return path;
  }

  std::string dir_;
  std::string saved_;
  bool hadTmpdir_ = false;
};

TEST_F(TemporaryDirectoryTest, FollowsTmpdirWhenItNamesADirectory) {
  std::string file = dir_ + "/file";
  FILE* f = std::fopen(file.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  std::string at259 = directoryOfLength(259, 'a');
  std::string at260 = directoryOfLength(260, 'b');

  struct Case {
    const char* what;
    bool set;
    std::string value;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"a directory", true, dir_, dir_ + "/"},
      {"a directory with its separator", true, dir_ + "/", dir_ + "/"},
      {"a file", true, file, "/tmp/"},
      {"missing", true, "/no/such/korva/dir", "/tmp/"},
      {"empty", true, "", "/tmp/"},
      {"unset", false, "", "/tmp/"},
      {"260 characters with the separator", true, at259, at259 + "/"},
      {"261 characters with the separator", true, at260, "/tmp/"},
  };
  for (const Case& c : cases) {
    if (c.set) {
      setenv("TMPDIR", c.value.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
    EXPECT_EQ(korva::temporaryDirectory(), c.expected) << c.what;
  }
}

}  // namespace
