// Path helpers: building, splitting, separators and joining, "/" separated.
#include "support/path_util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(PathUtil, MakePathJoinsThePartsItIsGiven) {
  struct Case {
    const char* drive;
    const char* dir;
    const char* name;
    const char* ext;
    const char* expected;
  } cases[] = {
      {nullptr, "/reports", "a", nullptr, "/reports/a"},
      {nullptr, "/reports/", "a", nullptr, "/reports/a"},
      {nullptr, "/reports", "a", "rpt", "/reports/a.rpt"},
      {nullptr, "/reports", "a", ".rpt", "/reports/a.rpt"},
      {"C", "/reports", "a", "rpt", "/reports/a.rpt"},  // no drives: ignored
      {nullptr, nullptr, "a", "rpt", "a.rpt"},
      {nullptr, "", "a", "", "a"},
      {nullptr, "dir", nullptr, nullptr, "dir/"},
      {nullptr, nullptr, nullptr, "rpt", ".rpt"},
      {nullptr, nullptr, nullptr, nullptr, ""},
      {nullptr, "dir\\", "a", nullptr, "dir\\/a"},  // "\" is an ordinary character here
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(makePath(c.drive, c.dir, c.name, c.ext).getBuffer(), c.expected) << c.expected;
  }
}

TEST(PathUtil, MakePathHasNoLengthLimit) {
  std::string dir(600, 'd');
  std::string name(300, 'n');
  EXPECT_EQ(std::string(makePath(nullptr, dir.c_str(), name.c_str(), "x").getBuffer()),
            dir + "/" + name + ".x");
}

struct SplitCase {
  const char* path;
  const char* dir;
  const char* name;
  const char* ext;
};

const SplitCase kSplitCases[] = {
    {"/reports/sales/a.rpt", "/reports/sales/", "a", ".rpt"},
    {"a.rpt", "", "a", ".rpt"},
    {"A.RPT", "", "A", ".RPT"},
    {"c.rpt.bak", "", "c.rpt", ".bak"},
    {"/dir.d/name", "/dir.d/", "name", ""},
    {"/dir/", "/dir/", "", ""},
    {"/", "/", "", ""},
    {".profile", "", "", ".profile"},
    {"name.", "", "name", "."},
    {"", "", "", ""},
    {"C:\\x\\y.rpt", "", "C:\\x\\y", ".rpt"},  // no drive, "\" no separator
};

TEST(PathUtil, SplitPathIntoBuffers) {
  for (const SplitCase& c : kSplitCases) {
    char drive[kMaxDrive] = "?";
    char dir[kMaxDir];
    char name[kMaxFname];
    char ext[kMaxExt];
    splitPath(c.path, drive, dir, name, ext);
    EXPECT_STREQ(drive, "") << c.path;
    EXPECT_STREQ(dir, c.dir) << c.path;
    EXPECT_STREQ(name, c.name) << c.path;
    EXPECT_STREQ(ext, c.ext) << c.path;
  }
  char name[kMaxFname];
  splitPath("/x/only.name", nullptr, nullptr, name, nullptr);
  EXPECT_STREQ(name, "only");
}

TEST(PathUtil, SplitPathIntoBuffersCutsPartsThatDoNotFit) {
  std::string longName(400, 'n');
  std::string path = "/d/" + longName + ".rpt";
  char name[kMaxFname];
  char ext[kMaxExt];
  splitPath(path.c_str(), nullptr, nullptr, name, ext);
  EXPECT_EQ(std::strlen(name), static_cast<size_t>(kMaxFname - 1));
  EXPECT_STREQ(ext, ".rpt");
}

TEST(PathUtil, SplitPathIntoStringsAppendsTheDirectoryAndKeepsEmptyParts) {
  for (const SplitCase& c : kSplitCases) {
    SAnsiString drive = "keep";
    SAnsiString dir = "pre:";
    SAnsiString name = "old";
    SAnsiString ext = "old";
    splitPath(SAnsiString(c.path), &drive, &dir, &name, &ext);
    EXPECT_STREQ(drive.getBuffer(), "keep") << c.path;
    EXPECT_EQ(std::string(dir.getBuffer()), std::string("pre:") + c.dir) << c.path;
    EXPECT_STREQ(name.getBuffer(), *c.name ? c.name : "old") << c.path;
    EXPECT_STREQ(ext.getBuffer(), *c.ext ? c.ext : "old") << c.path;
  }
  // Parts longer than the buffers of the other form are not cut.
  std::string longName(400, 'n');
  SAnsiString name;
  splitPath(SAnsiString(("/d/" + longName + ".rpt").c_str()), nullptr, nullptr, &name, nullptr);
  EXPECT_EQ(std::string(name.getBuffer()), longName);
  // The path may be one of the outputs.
  SAnsiString self = "/a/b.rpt";
  splitPath(self, nullptr, &self, nullptr, nullptr);
  EXPECT_STREQ(self.getBuffer(), "/a/b.rpt/a/");
}

TEST(PathUtil, SeparatorsAreAddedAndRemovedAtTheEnds) {
  struct Case {
    const char* path;
    char c;
    const char* ensured;
    const char* trailingRemoved;
    const char* leadingRemoved;
  } cases[] = {
      {"", '/', "", "", ""},
      {"/", '/', "/", "/", "/"},
      {"a", '/', "a/", "a", "a"},
      {"a/", '/', "a/", "a", "a/"},
      {"/a", '/', "/a/", "/a", "a"},
      {"a//", '/', "a//", "a/", "a//"},
      {"//", '/', "//", "/", "/"},
      {"C:\\", '\\', "C:\\", "C:\\", "C:\\"},  // a drive root keeps its "\"
      {"C:\\x\\", '\\', "C:\\x\\", "C:\\x", "C:\\x\\"},
      {"\\x", '\\', "\\x\\", "\\x", "x"},
      {"C:/", '/', "C:/", "C:", "C:/"},
  };
  for (const Case& c : cases) {
    SAnsiString ensured = c.path;
    ensureTrailingSeparator(ensured, c.c);
    EXPECT_STREQ(ensured.getBuffer(), c.ensured) << c.path;
    SAnsiString trailing = c.path;
    removeTrailingSeparator(trailing, c.c);
    EXPECT_STREQ(trailing.getBuffer(), c.trailingRemoved) << c.path;
    SAnsiString leading = c.path;
    removeLeadingSeparator(leading, c.c);
    EXPECT_STREQ(leading.getBuffer(), c.leadingRemoved) << c.path;
  }
}

TEST(PathUtil, JoinPathPutsExactlyOneSeparatorBetween) {
  struct Case {
    const char* dir;
    const char* name;
    const char* expected;
  } cases[] = {
      {"/src", "a.rpt", "/src/a.rpt"},
      {"/src/", "a.rpt", "/src/a.rpt"},
      {"/src//", "/a.rpt", "/src/a.rpt"},
      {"/", "a", "/a"},
      {"", "a", "a"},
      {"rel", "sub", "rel/sub"},
      {"/src", "", "/src/"},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(joinPath(c.dir, c.name).getBuffer(), c.expected) << c.dir << " + " << c.name;
  }
}

}  // namespace
