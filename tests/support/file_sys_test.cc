// SFileSys, SSFileSearch and SFileSysException: existence and directory
// questions, listing (with failures injected through the platform service),
// the wildcard rule, the multi-directory search and the message templates.
// Paths are joined with the platform's separator (kSep); drives exist on
// Windows only.
#include "support/file_sys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "platform/filesys.h"
#include "support/diagnostics.h"
#include "support/file_search.h"
#include "support/path_util.h"

namespace {

namespace fs = std::filesystem;

const char kSep[] = {kPathSeparator, '\0'};

// A fresh directory tree per test:
//   root/a.rpt (5 bytes)  root/b.txt (0 bytes)  root/sub/  root/sub/c.rpt (3 bytes)
class FileSysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = fs::temp_directory_path() / (std::string("korva-filesys-") + info->name() + "-" +
                                         std::to_string(std::random_device{}()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "sub");
    write(root_ / "a.rpt", "12345");
    write(root_ / "b.txt", "");
    write(root_ / "sub" / "c.rpt", "abc");
  }
  void TearDown() override { fs::remove_all(root_); }

  static void write(const fs::path& p, const std::string& text) { std::ofstream(p) << text; }
  SAnsiString path(const std::string& rel = "") const {
    return SAnsiString((rel.empty() ? root_ : root_ / rel).string().c_str());
  }

  static std::vector<std::string> names(const SIArray<FileProp>& entries) {
    std::vector<std::string> out;
    for (const FileProp& e : entries) out.push_back(e.name.getBuffer());
    return out;
  }
  static std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
  }

  fs::path root_;
};

// The exception a call throws; nothing when it returns.
template <typename Call>
std::optional<SFileSysException> thrownBy(Call call) {
  try {
    call();
  } catch (const SFileSysException& e) {
    return e;
  }
  return std::nullopt;
}

void expectException(const SFileSysException& e, int type, int code, const SAnsiString& path,
                     int error, const char* operation) {
  EXPECT_EQ(e.type(), type);
  EXPECT_EQ(e.code(), code);
  EXPECT_STREQ(e.path().getBuffer(), path.getBuffer());
  EXPECT_STREQ(e.reason().getBuffer(), std::strerror(error));
  EXPECT_STREQ(e.operation().getBuffer(), operation);
}

TEST_F(FileSysTest, ExistsAnswersForEveryKindOfPath) {
  struct Case {
    SAnsiString path;
    bool exists;
  } cases[] = {
      {path(), true},
      {path() + kSep, true},
      {path("a.rpt"), true},
      {path("missing"), false},
      {path("a.rpt") + kSep + "x", false},  // a file in the middle of the path
      {"", false},
      {kSep, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SFileSys::exists(c.path), c.exists) << c.path.getBuffer();
  }
}

TEST_F(FileSysTest, IsDirTellsDirectoriesFromFilesAndThrowsForMissingPaths) {
  EXPECT_TRUE(SFileSys::isDir(path()));
  EXPECT_TRUE(SFileSys::isDir(path() + kSep));
  EXPECT_TRUE(SFileSys::isDir(path("sub")));
  EXPECT_FALSE(SFileSys::isDir(path("a.rpt")));
  auto e = thrownBy([&] { SFileSys::isDir(path("missing")); });
  ASSERT_TRUE(e) << "no exception";
  expectException(*e, 2, 1, path("missing"), ENOENT, "isDir");
}

TEST_F(FileSysTest, IsDriveIsFalseForExistingPathsAndThrowsForMissingOnes) {
  EXPECT_FALSE(SFileSys::isDrive(path()));
  EXPECT_FALSE(SFileSys::isDrive(kSep));
  if (korva::kPathsHaveDrives) {
    // A drive is no directory: listing it adds nothing.
    EXPECT_TRUE(SFileSys::isDrive("C:"));
    EXPECT_FALSE(SFileSys::isDir("C:"));
    SIArray<FileProp> entries;
    SFileSys::listing("C:", "*", entries);
    EXPECT_EQ(entries.getCount(), 0);
    return;
  }
  auto e = thrownBy([] { SFileSys::isDrive("C:"); });  // no drives here: a missing relative name
  ASSERT_TRUE(e) << "no exception";
  expectException(*e, 2, 1, "C:", ENOENT, "isDrive");
}

TEST_F(FileSysTest, ListingGivesEveryEntryWithTypeAndSizeButNoDots) {
  SIArray<FileProp> entries;
  SFileSys::listing(path(), "*", entries);
  ASSERT_EQ(sorted(names(entries)), (std::vector<std::string>{"a.rpt", "b.txt", "sub"}));
  for (const FileProp& e : entries) {
    std::string name = e.name.getBuffer();
    EXPECT_EQ(e.isDirectory, name == "sub") << name;
    if (name == "a.rpt") {
      EXPECT_EQ(e.size, 5);
    } else if (name == "b.txt") {
      EXPECT_EQ(e.size, 0);
    }
  }
}

TEST_F(FileSysTest, ListingKeepsTheSystemOrderAndAppendsToWhatTheArrayHolds) {
  std::vector<std::string> systemOrder;
  for (const auto& entry : fs::directory_iterator(root_)) {
    systemOrder.push_back(entry.path().filename().string());
  }
  SIArray<FileProp> entries;
  FileProp earlier;
  earlier.name = "earlier";
  entries.add(earlier);
  SFileSys::listing(path() + kSep, "*", entries);
  std::vector<std::string> expected = {"earlier"};
  expected.insert(expected.end(), systemOrder.begin(), systemOrder.end());
  EXPECT_EQ(names(entries), expected);
}

TEST_F(FileSysTest, ListingFiltersByPatternAndSearchesASubDirectoryOfThePattern) {
  SIArray<FileProp> entries;
  SFileSys::listing(path(), "*.rpt", entries);
  EXPECT_EQ(names(entries), (std::vector<std::string>{"a.rpt"}));
  entries.removeAll();
  SFileSys::listing(path(), (std::string("sub") + kSep + "*").c_str(), entries);
  ASSERT_EQ(names(entries), (std::vector<std::string>{"c.rpt"}));
  EXPECT_EQ(entries[0].size, 3);
  entries.removeAll();
  SFileSys::listing(path(), (kSep + std::string("sub") + kSep + "c.???").c_str(), entries);
  EXPECT_EQ(names(entries), (std::vector<std::string>{"c.rpt"}));
}

TEST_F(FileSysTest, ListingOfAMissingDirectoryThrowsButOfAFileAddsNothing) {
  SIArray<FileProp> entries;
  auto e = thrownBy([&] { SFileSys::listing(path("missing"), "*", entries); });
  ASSERT_TRUE(e) << "no exception";
  expectException(*e, 2, 1, path("missing"), ENOENT, "listing");
  EXPECT_STREQ(e->message().getBuffer(), "File not found");
  EXPECT_EQ(entries.getCount(), 0);

  EXPECT_NO_THROW(SFileSys::listing(path("a.rpt"), "*", entries));
  EXPECT_EQ(entries.getCount(), 0);

  // A pattern naming a missing sub-directory asks isDir about it.
  const std::string missingSub = std::string("nosub") + kSep + "*";
  e = thrownBy([&] { SFileSys::listing(path(), missingSub.c_str(), entries); });
  ASSERT_TRUE(e) << "no exception";
  EXPECT_STREQ(e->operation().getBuffer(), "isDir");
  EXPECT_EQ(e->code(), 1);
}

// Fails the status of the second entry a listing asks about.
class FailSecondEntryStatus : public korva::FileSystemWrapper {
 public:
  explicit FailSecondEntryStatus(std::string directory) : directory_(std::move(directory)) {}
  int getStatus(const std::string& p, korva::FileStatus* status) override {
    if (p.rfind(directory_, 0) == 0 && p.size() > directory_.size()) {
      if (++entryCalls_ == 2) {
        failedPath_ = p;
        return EACCES;
      }
    }
    return target_.getStatus(p, status);
  }
  std::string failedPath_;

 private:
  std::string directory_;
  int entryCalls_ = 0;
};

TEST_F(FileSysTest, AStatusFailureThrowsAndLeavesTheEntriesListedSoFar) {
  FailSecondEntryStatus failing(root_.string() + kSep);
  korva::ScopedFileSystemForTesting installed(&failing);
  SIArray<FileProp> entries;
  auto e = thrownBy([&] { SFileSys::listing(path(), "*", entries); });
  ASSERT_TRUE(e) << "no exception";
  expectException(*e, 3, 4, SAnsiString(failing.failedPath_.c_str()), EACCES, "listing");
  EXPECT_EQ(std::string(e->message().getBuffer()),
            "Fail to get file attributes from operating system in file system operation on "
            "file " +
                failing.failedPath_ + ".  Reason given: " + std::strerror(EACCES));
  ASSERT_EQ(entries.getCount(), 1);
  EXPECT_NE(root_.string() + kSep + entries[0].name.getBuffer(), failing.failedPath_);
}

// Hands out the first entry of every enumeration, then fails it.
class FailingReader : public korva::DirectoryReader {
 public:
  explicit FailingReader(std::unique_ptr<korva::DirectoryReader> inner)
      : inner_(std::move(inner)) {}
  bool next(std::string* name, int* error) override {
    while (inner_->next(name, error)) {
      if (*name != "." && *name != "..") {
        if (handedOut_++ == 0) return true;
        break;
      }
    }
    *error = EIO;
    return false;
  }

 private:
  std::unique_ptr<korva::DirectoryReader> inner_;
  int handedOut_ = 0;
};

class FailEnumeration : public korva::FileSystemWrapper {
 public:
  int openDirectory(const std::string& p, std::unique_ptr<korva::DirectoryReader>* r) override {
    std::unique_ptr<korva::DirectoryReader> inner;
    int error = target_.openDirectory(p, &inner);
    if (error == 0) r->reset(new FailingReader(std::move(inner)));
    return error;
  }
};

TEST_F(FileSysTest, AnEnumerationCutShortThrowsInsteadOfPassingForComplete) {
  FailEnumeration failing;
  korva::ScopedFileSystemForTesting installed(&failing);
  SIArray<FileProp> entries;
  auto e = thrownBy([&] { SFileSys::listing(path(), "*", entries); });
  ASSERT_TRUE(e) << "no exception";
  expectException(*e, 3, 6, path() + kSep, EIO, "listing");
  EXPECT_EQ(entries.getCount(), 1);
}

TEST(FileSysPattern, WildcardsMatchRunsAndSingleCharacters) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  } cases[] = {
      {"*", "anything", true},    {"*", "", true},           {"*.*", "noext", true},
      {"*.rpt", "a.rpt", true},   {"*.rpt", "a.RPT", false}, {"*.rpt", "a.rpt.bak", false},
      {"a?c", "abc", true},       {"a?c", "ac", false},      {"a*b*c", "aXXbYYc", true},
      {"a*b*c", "aXXbYY", false}, {"**x", "abx", true},      {"", "", true},
      {"", "a", false},           {"abc", "abc", true},      {"ab", "abc", false},
      {"*ab", "aab", true},       {"?", ".", true},          {"??", "..", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(matchesPattern(c.pattern, c.name), c.matches) << c.pattern << " / " << c.name;
  }
}

TEST_F(FileSysTest, SearchWalksEveryDirectoryInTurnAndSkipsMissingOnes) {
  SIArray<SAnsiString> dirs;
  dirs.add(path());
  dirs.add(path("missing"));
  dirs.add(path("sub") + kSep);
  SSFileSearch search;
  EXPECT_TRUE(search.start("*.rpt", dirs));
  std::vector<std::string> found;
  SAnsiString name;
  while (search.next(&name, true)) found.push_back(name.getBuffer());
  EXPECT_EQ(found, (std::vector<std::string>{(root_ / "a.rpt").string(),
                                             (root_ / "sub" / "c.rpt").string()}));
  EXPECT_EQ(search.lastError(), ENOENT);
  EXPECT_FALSE(search.next(&name));
}

TEST_F(FileSysTest, SearchHandsOutTheDotsOnlyWhenAskedTo) {
  SIArray<SAnsiString> dirs;
  dirs.add(path("sub"));
  for (bool includeDots : {false, true}) {
    SSFileSearch search;
    search.start("*", dirs, includeDots);
    std::vector<std::string> found;
    SAnsiString name;
    while (search.next(&name)) found.push_back(name.getBuffer());
    std::vector<std::string> expected = {"c.rpt"};
    if (includeDots) expected = {".", "..", "c.rpt"};
    EXPECT_EQ(sorted(found), expected) << includeDots;
  }
}

TEST_F(FileSysTest, FindFirstOnAnOpenSearchReportsOnlyWhileCheckingIsOn) {
  SSFileSearch search;
  search.start("*", SIArray<SAnsiString>());
  SAnsiString name;
  ASSERT_TRUE(search.FindFirst(path("sub"), &name));
  ASSERT_TRUE(search.FindFirst(path("sub"), &name));  // not started: nothing reported
  ASSERT_TRUE(SDiagnostics::start({}));
  ASSERT_TRUE(search.FindFirst(path("sub"), &name));
  std::vector<std::string> reports = SDiagnostics::takeReports();
  SDiagnostics::stop();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_TRUE(std::regex_match(
      reports[0],
      std::regex(R"(assert failure: \(.*file_search\.cc:[0-9]+\)\. \(false : )"
                 R"(Search stream is already open in SSFileSearch::FindFirst\(\)\)\.)")))
      << reports[0];
  search.close();
  EXPECT_FALSE(search.FindFirst(path("missing"), &name));
  EXPECT_EQ(search.lastError(), ENOENT);
}

TEST(FileSysException, MessagesFollowTheTemplateOfTheirType) {
  struct Case {
    int type;
    const char* message;
  } cases[] = {
      {0, "System is out of memory."},
      {1,
       "Fail to create directory structure in file system operation on file /p.  Reason given: R"},
      {2, "File not found"},
      {3,
       "Fail to get file attributes from operating system in file system operation on file /p."
       "  Reason given: R"},
      {4,
       "Failed to remove the file /p in a file system operation. Please check access rights or "
       "for a sharing violation.  Reason: R"},
      {5,
       "Failed to copy the file /p to /q in file system operation. Please check access rights. "
       "Reason given: R"},
      {6, "The file /p does not exist.  File system operation failed. Reason give: R"},
      {7,
       "Fail to get status of file from operating system in file system operation on file /p."
       "  Reason given: R"},
      {8,
       "Failed to remove the file /p in a file system operation. Please check access rights or "
       "for a sharing violation.  Reason: R"},
      {9, "Fail to set file attributes in file system operation on file /p.  Reason given: R"},
      {10, "Failed to determine the size of the file /p in file system operation. Reason: R"},
      {11, "Failed to generate a unique filename in dir /p. Reason: R"},
      {12, "Failed to retrieve disk statistics from /p. Reason: R"},
      {13, "Failed to rename /p to /q. Reason: R"},
      {14, "Unknown error in file system operation on file /p. Reason: R"},
      {15, "Failed to set current directory to /p.  Reason: R"},
      {16, "Failed to change ownership to /p.  Reason: R"},
      {17, "Unknown error in file system operation on file /p. Reason: R"},
  };
  for (const Case& c : cases) {
    SFileSysException e(c.type, 6, "/p", "R", "op", "/q");
    EXPECT_STREQ(e.message().getBuffer(), c.message) << c.type;
    EXPECT_EQ(std::string(e.messageWithOperation().getBuffer()), std::string(c.message) + ", op");
    EXPECT_STREQ(e.what(), e.messageWithOperation().getBuffer());
  }
  // A placeholder text that itself holds "%2" is not expanded again.
  SFileSysException odd(3, 6, "/100%2", "R", "op");
  EXPECT_STREQ(odd.message().getBuffer(),
               "Fail to get file attributes from operating system in file system operation on "
               "file /100%2.  Reason given: R");
}

TEST(FileSysException, CategoriesComeFromErrorNumbersAndSystemCodes) {
  const std::pair<int, int> fromErrno[] = {{EPERM, 4},  {EACCES, 4},  {ENOENT, 1},
                                           {ENOMEM, 0}, {EINVAL, 2},  {ENAMETOOLONG, 2},
                                           {EIO, 6},    {ENOTDIR, 6}, {0, 6}};
  for (const auto& c : fromErrno) {
    EXPECT_EQ(SFileSysException::codeFromErrno(c.first), c.second) << c.first;
  }
  const std::pair<unsigned long, int> fromSystem[] = {{2, 1},  {3, 1},    {15, 1},  {18, 1},
                                                      {53, 1}, {67, 1},   {161, 1}, {206, 1},
                                                      {5, 4},  {1816, 0}, {32, 6},  {0, 6}};
  for (const auto& c : fromSystem) {
    EXPECT_EQ(SFileSysException::codeFromSystemError(c.first), c.second) << c.first;
  }
  SFileSysException e = SFileSysException::fromErrno(7, ENAMETOOLONG, "/x", "stat");
  EXPECT_EQ(e.code(), 2);
  EXPECT_STREQ(e.reason().getBuffer(), std::strerror(ENAMETOOLONG));
}

}  // namespace
