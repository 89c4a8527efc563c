// The Windows file-system, net, log-file and directory-identity services:
// status, access, enumeration, error numbers from Windows errors, Winsock
// start-up and clean-up, host names, the log file's open, and identities.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/dir_identity.h"
#include "platform/filesys.h"
#include "platform/log_file.h"
#include "platform/net.h"
#include "tests/platform/service_test_util.h"

namespace {

class Win32ServiceTest : public service_test::FileTreeTest {
 protected:
  static std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
};

TEST_F(Win32ServiceTest, StatusAndAccessAnswerZeroOrTheErrorNumber) {
  korva::FileStatus status;
  ASSERT_EQ(service_.getStatus(at("file"), &status), 0);
  EXPECT_FALSE(status.isDirectory);
  EXPECT_EQ(status.size, 7);
  ASSERT_EQ(service_.getStatus(at("dir") + "\\", &status), 0);  // the separator is no obstacle
  EXPECT_TRUE(status.isDirectory);
  EXPECT_EQ(service_.getStatus(at("missing"), &status), ENOENT);
  EXPECT_EQ(service_.getStatus(at("file") + "\\x", &status), ENOENT);
  EXPECT_EQ(service_.checkAccess(at("file")), 0);
  EXPECT_EQ(service_.checkAccess(at("dir") + "\\"), 0);
  EXPECT_EQ(service_.checkAccess(at("missing")), ENOENT);
  EXPECT_EQ(korva::errorText(ENOENT), std::strerror(ENOENT));
}

TEST_F(Win32ServiceTest, EnumerationListsEveryEntryWithTheDots) {
  for (const std::string& dir : {root_.string(), root_.string() + "\\"}) {
    std::unique_ptr<korva::DirectoryReader> reader;
    ASSERT_EQ(service_.openDirectory(dir, &reader), 0) << dir;
    int error = -1;
    EXPECT_EQ(service_test::readNames(*reader, &error),
              (std::vector<std::string>{".", "..", "dir", "file"}))
        << dir;
    EXPECT_EQ(error, 0);
  }
  std::unique_ptr<korva::DirectoryReader> none;
  EXPECT_EQ(service_.openDirectory(at("missing"), &none), ENOENT);
  EXPECT_EQ(service_.openDirectory(at("file"), &none), ENOTDIR);
  EXPECT_EQ(none, nullptr);
}

TEST_F(Win32ServiceTest, LogFileIsCreatedOrTruncatedAndWrittenInTextMode) {
  const std::string log = at("publish.log");
  std::ofstream(log) << "an old run's lines";
  std::FILE* stream = nullptr;
  ASSERT_EQ(korva::openLogFile(log.c_str(), &stream), 0);
  std::fputs("first\n", stream);
  std::fclose(stream);
  EXPECT_EQ(contents(log), "first\r\n");

  EXPECT_EQ(korva::openLogFile(at("missing\\publish.log").c_str(), &stream), ENOENT);
  EXPECT_EQ(stream, nullptr);
  EXPECT_EQ(korva::openLogFile("", &stream), ENOENT);
  EXPECT_NE(korva::openLogFile(at("dir").c_str(), &stream), 0);
  EXPECT_EQ(stream, nullptr);
}

TEST_F(Win32ServiceTest, DirectoryIdentityTellsDirectoriesApartWhateverTheSpelling) {
  korva::DirectoryIdentity dir;
  korva::DirectoryIdentity again;
  korva::DirectoryIdentity root;
  ASSERT_EQ(korva::directoryIdentity(at("dir"), &dir), 0);
  ASSERT_EQ(korva::directoryIdentity(at("dir") + "\\..\\dir", &again), 0);
  ASSERT_EQ(korva::directoryIdentity(root_.string(), &root), 0);
  EXPECT_EQ(dir, again);
  EXPECT_NE(dir, root);
  korva::DirectoryIdentity unchanged = root;
  EXPECT_EQ(korva::directoryIdentity(at("missing"), &unchanged), ENOENT);
  EXPECT_EQ(unchanged, root);
}

TEST(Win32NetService, WinsockStartsCountsItsStartsAndResolvesLocalhost) {
  korva::NetService& net = korva::defaultNetService();
  ASSERT_EQ(net.startup(2, 0), 0);
  ASSERT_EQ(net.startup(1, 1), 0);
  EXPECT_EQ(net.cleanup(), 0);
  EXPECT_EQ(net.cleanup(), 0);
  EXPECT_EQ(net.cleanup(), korva::kNetErrorNotInitialised);
  // The lookup holds whether or not the layer was started.
  service_test::expectOnlyLocalhostResolves({nullptr, "", "no-such-host.invalid"});
}

}  // namespace
