// Path helpers in the double-byte code pages of Windows, where the byte of
// "\" (0x5C) is also the second byte of many characters: 表 is 95 5C in code
// page 932, 許 is B3 5C in code page 950. The helpers step over characters
// of the process's multibyte code page, which each row sets with _setmbcp.
#include <gtest/gtest.h>

#include <string>

#include "common/win32/scoped_code_page.h"
#include "support/path_util.h"

namespace {

using korva_test::ScopedCodePage;

TEST(PathUtilDoubleByte, TrailingBytes5CAreNoSeparators) {
  struct Case {
    int codePage;
    const char* name;  // a directory name whose last byte is 0x5C
  } cases[] = {
      {932, "\x95\x5c"},          // 表
      {932, "\x83\x5c"},          // ソ
      {932, "\x94\x5c\x97\xcd"},  // 能力: the 0x5C in the middle
      {950, "\xb3\x5c"},          // 許
  };
  for (const Case& c : cases) {
    ScopedCodePage page(c.codePage);
    ASSERT_TRUE(page.ok()) << c.codePage;
    const std::string dir = std::string("C:\\src\\") + c.name;
    const std::string trace = std::to_string(c.codePage) + " " + dir;

    SAnsiString ensured(dir.c_str());
    ensureTrailingSeparator(ensured);
    EXPECT_EQ(std::string(ensured.getBuffer()), dir + "\\") << trace;
    SAnsiString kept(dir.c_str());
    removeTrailingSeparator(kept);
    EXPECT_EQ(std::string(kept.getBuffer()), dir) << trace;
    SAnsiString removed((dir + "\\").c_str());
    removeTrailingSeparator(removed);
    EXPECT_EQ(std::string(removed.getBuffer()), dir) << trace;
    SAnsiString bare(c.name);
    removeTrailingSeparator(bare);
    EXPECT_EQ(std::string(bare.getBuffer()), c.name) << trace;

    EXPECT_EQ(std::string(joinPath(SAnsiString(dir.c_str()), SAnsiString("a.rpt")).getBuffer()),
              dir + "\\a.rpt")
        << trace;
    EXPECT_EQ(std::string(makePath(nullptr, dir.c_str(), "a", ".rpt").getBuffer()), dir + "\\a.rpt")
        << trace;

    SAnsiString drive, directory, name, ext;
    splitPath(SAnsiString(dir.c_str()), &drive, &directory, &name, &ext);
    EXPECT_EQ(std::string(directory.getBuffer()), "\\src\\") << trace;
    EXPECT_EQ(std::string(name.getBuffer()), c.name) << trace;
    SAnsiString inDir;
    splitPath(SAnsiString((dir + "\\b.rpt").c_str()), nullptr, &inDir, nullptr, nullptr);
    EXPECT_EQ(std::string(inDir.getBuffer()), dir.substr(2) + "\\") << trace;
  }
}

}  // namespace
