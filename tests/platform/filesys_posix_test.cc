// The POSIX file-system and net services: status, access, enumeration, error
// texts, host names, and installing a service for tests.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/filesys.h"
#include "platform/net.h"
#include "tests/platform/service_test_util.h"

namespace {

class FileSystemServiceTest : public service_test::FileTreeTest {};

TEST_F(FileSystemServiceTest, StatusTellsDirectoriesFilesAndErrors) {
  korva::FileStatus status;
  ASSERT_EQ(service_.getStatus(at("file"), &status), 0);
  EXPECT_FALSE(status.isDirectory);
  EXPECT_EQ(status.size, 7);
  ASSERT_EQ(service_.getStatus(at("dir"), &status), 0);
  EXPECT_TRUE(status.isDirectory);
  EXPECT_EQ(service_.getStatus(at("missing"), &status), ENOENT);
  EXPECT_EQ(service_.getStatus(at("file") + "/x", &status), ENOTDIR);
}

TEST_F(FileSystemServiceTest, AccessAnswersZeroOrTheErrorNumber) {
  EXPECT_EQ(service_.checkAccess(at("file")), 0);
  EXPECT_EQ(service_.checkAccess(at("dir")), 0);
  EXPECT_EQ(service_.checkAccess(at("missing")), ENOENT);
}

TEST_F(FileSystemServiceTest, EnumerationListsEveryEntryWithTheDots) {
  std::unique_ptr<korva::DirectoryReader> reader;
  ASSERT_EQ(service_.openDirectory(root_.string(), &reader), 0);
  int error = -1;
  EXPECT_EQ(service_test::readNames(*reader, &error),
            (std::vector<std::string>{".", "..", "dir", "file"}));
  EXPECT_EQ(error, 0);
  std::string name;
  EXPECT_FALSE(reader->next(&name, &error));

  std::unique_ptr<korva::DirectoryReader> none;
  EXPECT_EQ(service_.openDirectory(at("missing"), &none), ENOENT);
  EXPECT_EQ(service_.openDirectory(at("file"), &none), ENOTDIR);
  EXPECT_EQ(none, nullptr);
}

TEST(FileSystemService, ErrorTextIsTheSystemsText) {
  for (int error : {ENOENT, EACCES, EIO, 0, 99999}) {
    EXPECT_EQ(korva::errorText(error), std::strerror(error)) << error;
  }
}

TEST(FileSystemService, ATestServiceIsInForceWhileInstalled) {
  korva::FileSystemWrapper wrapper;
  EXPECT_EQ(&korva::fileSystem(), &korva::defaultFileSystem());
  {
    korva::ScopedFileSystemForTesting installed(&wrapper);
    EXPECT_EQ(&korva::fileSystem(), &wrapper);
    korva::FileSystemWrapper inner;
    {
      korva::ScopedFileSystemForTesting nested(&inner);
      EXPECT_EQ(&korva::fileSystem(), &inner);
    }
    EXPECT_EQ(&korva::fileSystem(), &wrapper);
  }
  EXPECT_EQ(&korva::fileSystem(), &korva::defaultFileSystem());
}

TEST(NetService, StartAndStopSucceedAndLocalhostResolves) {
  korva::NetService& net = korva::defaultNetService();
  EXPECT_EQ(net.startup(2, 0), 0);
  EXPECT_EQ(net.startup(1, 1), 0);
  EXPECT_EQ(net.cleanup(), 0);
  service_test::expectOnlyLocalhostResolves({nullptr, ""});
}

class FixedNet : public korva::NetService {
 public:
  int startup(int, int) override { return korva::kNetErrorVersionNotSupported; }
  int cleanup() override { return korva::kNetErrorNotInitialised; }
  void cancelBlockingCall() override {}
  bool officialHostName(const char*, std::string* out) override {
    *out = "fixed.example";
    return true;
  }
};

TEST(NetService, TheFreeResolverGoesThroughTheServiceInForce) {
  FixedNet fixed;
  std::string name;
  {
    korva::ScopedNetServiceForTesting installed(&fixed);
    EXPECT_EQ(&korva::netService(), &fixed);
    EXPECT_TRUE(korva::officialHostName("anything", &name));
    EXPECT_EQ(name, "fixed.example");
  }
  EXPECT_EQ(&korva::netService(), &korva::defaultNetService());
}

}  // namespace
