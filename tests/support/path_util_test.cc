// Path helpers: building, splitting, separators and joining, by the rules of
// the platform the tests run on. A row gives what POSIX answers ("/" only, no
// drives, "\" an ordinary character) and what Windows answers (drives, "\"
// and "/" both separate, "\" added); each platform checks its own column.
#include "support/path_util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// The answer of the platform the tests run on: Windows' where paths have
// drives, POSIX's elsewhere.
template <typename T>
T onPlatform(T posix, T windows) {
  return korva::kPathsHaveDrives ? windows : posix;
}

// text with every "/" turned into the platform's separator.
std::string native(const char* text) {
  std::string out = text;
  for (char& c : out) {
    if (c == '/') c = kPathSeparator;
  }
  return out;
}

// A path under a directory of the platform's own form, with a name longer
// than the buffers of splitPath.
std::string longPath(const std::string& name) {
  return std::string(onPlatform("/d/", "C:\\d\\")) + name + ".rpt";
}

TEST(PathUtil, MakePathJoinsThePartsItIsGiven) {
  struct Case {
    const char* drive;
    const char* dir;
    const char* name;
    const char* ext;
    const char* posix;
    const char* windows;
  } cases[] = {
      {nullptr, "/reports", "a", nullptr, "/reports/a", "/reports\\a"},
      {nullptr, "/reports/", "a", nullptr, "/reports/a", "/reports/a"},  // "/" ends a directory
      {nullptr, "/reports", "a", "rpt", "/reports/a.rpt", "/reports\\a.rpt"},
      {nullptr, "/reports", "a", ".rpt", "/reports/a.rpt", "/reports\\a.rpt"},
      {"C", "/reports", "a", "rpt", "/reports/a.rpt", "C:/reports\\a.rpt"},  // POSIX: ignored
      {"C", "\\reports", "a", "rpt", "\\reports/a.rpt", "C:\\reports\\a.rpt"},
      {"C:", "reports\\", "a", ".rpt", "reports\\/a.rpt", "C:reports\\a.rpt"},
      {nullptr, nullptr, "a", "rpt", "a.rpt", "a.rpt"},
      {nullptr, "", "a", "", "a", "a"},
      {nullptr, "dir", nullptr, nullptr, "dir/", "dir\\"},
      {nullptr, nullptr, nullptr, "rpt", ".rpt", ".rpt"},
      {nullptr, nullptr, nullptr, nullptr, "", ""},
      {nullptr, "dir\\", "a", nullptr, "dir\\/a", "dir\\a"},  // POSIX: "\" is ordinary
  };
  for (const Case& c : cases) {
    const char* expected = onPlatform(c.posix, c.windows);
    EXPECT_STREQ(makePath(c.drive, c.dir, c.name, c.ext).getBuffer(), expected) << expected;
  }
}

TEST(PathUtil, MakePathHasNoLengthLimit) {
  const std::string dir(600, 'd');
  const std::string name(300, 'n');
  struct Case {
    const char* drive;
    const char* posixPrefix;
    const char* windowsPrefix;
  } cases[] = {
      {nullptr, "", ""},
      {"D", "", "D:"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(std::string(makePath(c.drive, dir.c_str(), name.c_str(), "x").getBuffer()),
              onPlatform(c.posixPrefix, c.windowsPrefix) + dir + kPathSeparator + name + ".x")
        << (c.drive ? c.drive : "no drive");
  }
}

struct SplitParts {
  const char* drive;
  const char* dir;
  const char* name;
  const char* ext;
};

struct SplitCase {
  const char* path;
  SplitParts posix;
  SplitParts windows;
};

const SplitCase kSplitCases[] = {
    {"/reports/sales/a.rpt",
     {"", "/reports/sales/", "a", ".rpt"},
     {"", "/reports/sales/", "a", ".rpt"}},
    {"a.rpt", {"", "", "a", ".rpt"}, {"", "", "a", ".rpt"}},
    {"A.RPT", {"", "", "A", ".RPT"}, {"", "", "A", ".RPT"}},
    {"c.rpt.bak", {"", "", "c.rpt", ".bak"}, {"", "", "c.rpt", ".bak"}},
    {"/dir.d/name", {"", "/dir.d/", "name", ""}, {"", "/dir.d/", "name", ""}},
    {"/a/b.c/name", {"", "/a/b.c/", "name", ""}, {"", "/a/b.c/", "name", ""}},
    {"/dir/", {"", "/dir/", "", ""}, {"", "/dir/", "", ""}},
    {"/", {"", "/", "", ""}, {"", "/", "", ""}},
    {".profile", {"", "", "", ".profile"}, {"", "", "", ".profile"}},
    {"name.", {"", "", "name", "."}, {"", "", "name", "."}},
    {"", {"", "", "", ""}, {"", "", "", ""}},
    // POSIX: no drive, "\" no separator.
    {"C:\\x\\y.rpt", {"", "", "C:\\x\\y", ".rpt"}, {"C:", "\\x\\", "y", ".rpt"}},
    {"C:y.rpt", {"", "", "C:y", ".rpt"}, {"C:", "", "y", ".rpt"}},
    {"\\\\server\\share\\f.txt",
     {"", "", "\\\\server\\share\\f", ".txt"},
     {"", "\\\\server\\share\\", "f", ".txt"}},
};

TEST(PathUtil, SplitPathIntoBuffers) {
  for (const SplitCase& c : kSplitCases) {
    const SplitParts& e = onPlatform(c.posix, c.windows);
    char drive[kMaxDrive] = "?";
    char dir[kMaxDir];
    char name[kMaxFname];
    char ext[kMaxExt];
    splitPath(c.path, drive, dir, name, ext);
    EXPECT_STREQ(drive, e.drive) << c.path;
    EXPECT_STREQ(dir, e.dir) << c.path;
    EXPECT_STREQ(name, e.name) << c.path;
    EXPECT_STREQ(ext, e.ext) << c.path;
  }
  char name[kMaxFname];
  splitPath("/x/only.name", nullptr, nullptr, name, nullptr);
  EXPECT_STREQ(name, "only");
}

TEST(PathUtil, SplitPathIntoBuffersCutsPartsThatDoNotFit) {
  const std::string path = longPath(std::string(400, 'n'));
  char name[kMaxFname];
  char ext[kMaxExt];
  splitPath(path.c_str(), nullptr, nullptr, name, ext);
  EXPECT_EQ(std::strlen(name), static_cast<size_t>(kMaxFname - 1));
  EXPECT_STREQ(ext, ".rpt");
}

TEST(PathUtil, SplitPathIntoStringsAppendsTheDirectoryAndKeepsEmptyParts) {
  for (const SplitCase& c : kSplitCases) {
    const SplitParts& e = onPlatform(c.posix, c.windows);
    SAnsiString drive = "keep";
    SAnsiString dir = "pre:";
    SAnsiString name = "old";
    SAnsiString ext = "old";
    splitPath(SAnsiString(c.path), &drive, &dir, &name, &ext);
    EXPECT_STREQ(drive.getBuffer(), *e.drive ? e.drive : "keep") << c.path;
    EXPECT_EQ(std::string(dir.getBuffer()), std::string("pre:") + e.dir) << c.path;
    EXPECT_STREQ(name.getBuffer(), *e.name ? e.name : "old") << c.path;
    EXPECT_STREQ(ext.getBuffer(), *e.ext ? e.ext : "old") << c.path;
  }
  // Parts longer than the buffers of the other form are not cut.
  const std::string longName(400, 'n');
  SAnsiString name;
  splitPath(SAnsiString(longPath(longName).c_str()), nullptr, nullptr, &name, nullptr);
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

// Rows in "/", which stands for the platform's separator.
TEST(PathUtil, JoinPathPutsExactlyOneSeparatorBetween) {
  struct Case {
    const char* dir;
    const char* name;
    const char* expected;
  } cases[] = {
      {"/src", "a.rpt", "/src/a.rpt"},
      {"/src/", "a.rpt", "/src/a.rpt"},
      {"/src//", "/a.rpt", "/src/a.rpt"},
      {"C:/src", "a.rpt", "C:/src/a.rpt"},
      {"C:/src//", "/a.rpt", "C:/src/a.rpt"},
      {"/", "a", "/a"},
      {"", "a", "a"},
      {"rel", "sub", "rel/sub"},
      {"/src", "", "/src/"},
  };
  for (const Case& c : cases) {
    const std::string dir = native(c.dir);
    const std::string name = native(c.name);
    EXPECT_EQ(std::string(joinPath(dir.c_str(), name.c_str()).getBuffer()), native(c.expected))
        << dir << " + " << name;
  }
}

}  // namespace
