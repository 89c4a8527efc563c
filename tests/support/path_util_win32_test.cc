// Path helpers on Windows: the C runtime's _makepath and _splitpath, with
// drives and both separators, and joining with "\".
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/path_util.h"

namespace {

TEST(PathUtilWin32, MakePathJoinsDriveDirectoryNameAndExtension) {
  struct Case {
    const char* drive;
    const char* dir;
    const char* name;
    const char* ext;
    const char* expected;
  } cases[] = {
      {"C", "\\reports", "a", "rpt", "C:\\reports\\a.rpt"},
      {"C:", "reports\\", "a", ".rpt", "C:reports\\a.rpt"},
      {nullptr, "/reports/", "a", nullptr, "/reports/a"},  // "/" ends a directory too
      {nullptr, "dir", nullptr, nullptr, "dir\\"},
      {nullptr, nullptr, nullptr, nullptr, ""},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(makePath(c.drive, c.dir, c.name, c.ext).getBuffer(), c.expected) << c.expected;
  }
  const std::string dir(600, 'd');
  const std::string name(300, 'n');
  EXPECT_EQ(std::string(makePath("D", dir.c_str(), name.c_str(), "x").getBuffer()),
            "D:" + dir + "\\" + name + ".x");
}

TEST(PathUtilWin32, SplitPathAnswersTheDriveAndCutsOnlyBuffers) {
  struct Case {
    const char* path;
    const char* drive;
    const char* dir;
    const char* name;
    const char* ext;
  } cases[] = {
      {"C:\\x\\y.rpt", "C:", "\\x\\", "y", ".rpt"},
      {"C:y.rpt", "C:", "", "y", ".rpt"},
      {"/a/b.c/name", "", "/a/b.c/", "name", ""},
      {"\\\\server\\share\\f.txt", "", "\\\\server\\share\\", "f", ".txt"},
  };
  for (const Case& c : cases) {
    char drive[kMaxDrive];
    char dir[kMaxDir];
    char name[kMaxFname];
    char ext[kMaxExt];
    splitPath(c.path, drive, dir, name, ext);
    EXPECT_STREQ(drive, c.drive) << c.path;
    EXPECT_STREQ(dir, c.dir) << c.path;
    EXPECT_STREQ(name, c.name) << c.path;
    EXPECT_STREQ(ext, c.ext) << c.path;
    SAnsiString driveText = "keep";
    SAnsiString dirText = "pre";
    splitPath(SAnsiString(c.path), &driveText, &dirText, nullptr, nullptr);
    EXPECT_STREQ(driveText.getBuffer(), *c.drive ? c.drive : "keep") << c.path;
    EXPECT_EQ(std::string(dirText.getBuffer()), std::string("pre") + c.dir) << c.path;
  }
  const std::string longName(400, 'n');
  const std::string path = "C:\\d\\" + longName + ".rpt";
  char name[kMaxFname];
  char ext[kMaxExt];
  splitPath(path.c_str(), nullptr, nullptr, name, ext);
  EXPECT_EQ(std::strlen(name), static_cast<size_t>(kMaxFname - 1));
  EXPECT_STREQ(ext, ".rpt");
  SAnsiString whole;
  splitPath(SAnsiString(path.c_str()), nullptr, nullptr, &whole, nullptr);
  EXPECT_EQ(std::string(whole.getBuffer()), longName);
}

TEST(PathUtilWin32, JoinPathPutsExactlyOneBackslashBetween) {
  EXPECT_STREQ(joinPath("C:\\src", "a.rpt").getBuffer(), "C:\\src\\a.rpt");
  EXPECT_STREQ(joinPath("C:\\src\\\\", "\\a.rpt").getBuffer(), "C:\\src\\a.rpt");
  EXPECT_STREQ(joinPath("", "a").getBuffer(), "a");
}

}  // namespace
