// The installer messages of a publish run, checked field by field against the
// installer stand-in: the progress total, action start and information, action
// data per user, folder and report, the ticks, and that every record is closed.
#include "actions/installer_progress.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actions/installer_messages.h"

namespace {

class InstallerProgressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    recordsAtStart_ = korva::openInstallerRecordCount();
    session_ = korva::openInstallerSession({}, {});
    ASSERT_NE(session_, 0u);
  }
  void TearDown() override {
    korva::failNextInstallerRecords(0);
    korva::closeInstallerSession(session_);
    EXPECT_EQ(korva::openInstallerRecordCount(), recordsAtStart_) << "a record was left open";
  }
  std::vector<std::string> messages() const { return runner_test::installerMessageLines(session_); }

  MSIHANDLE session_ = 0;
  int recordsAtStart_ = 0;
};

const SAnsiString kName = "Publish Custom Action";
const SAnsiString kDescription = "Publishing Veltrane Enterprise Objects...";
const SAnsiString kTemplate = "Publishing the [1] object [2]...";

TEST_F(InstallerProgressTest, ProgressTotalIsOneFourFieldRecordOfHundredTicksPerItem) {
  EXPECT_TRUE(CMAInstallerProgress::sendProgressTotal(session_, 7));
  EXPECT_TRUE(CMAInstallerProgress::sendProgressTotal(session_, 0));
  EXPECT_EQ(messages(),
            (std::vector<std::string>{"0A000000 I:0 I:700 I:0 I:0", "0A000000 I:0 I:0 I:0 I:0"}));
}

TEST_F(InstallerProgressTest, ProgressTotalTooLargeForTheBarIsCappedNotWrapped) {
  EXPECT_TRUE(CMAInstallerProgress::sendProgressTotal(session_, 30000000));
  EXPECT_EQ(messages(), (std::vector<std::string>{"0A000000 I:0 I:2147483647 I:0 I:0"}));
}

TEST_F(InstallerProgressTest, ProgressTotalWithoutARecordFailsAndSendsNothing) {
  korva::failNextInstallerRecords(1);
  EXPECT_FALSE(CMAInstallerProgress::sendProgressTotal(session_, 3));
  EXPECT_TRUE(messages().empty());
}

TEST_F(InstallerProgressTest, RunSendsStartInformationDataAndTicksInOrder) {
  {
    CMAInstallerProgress progress(session_, kName, kDescription, kTemplate);
    EXPECT_TRUE(progress.active());
    EXPECT_EQ(korva::openInstallerRecordCount(), recordsAtStart_ + 2);
    progress.userItem("user", "alice");
    progress.userItem("user", "bob");
    progress.folderItem("folder", "Sales");
    progress.reportItem("report", "Q1 Summary");
    progress.close();
    EXPECT_FALSE(progress.active());
    EXPECT_EQ(korva::openInstallerRecordCount(), recordsAtStart_);
    // Nothing goes out once the records are closed.
    progress.folderItem("folder", "Late");
  }
  EXPECT_EQ(messages(), (std::vector<std::string>{
                            "08000000 S:Publish Custom Action "
                            "S:Publishing Veltrane Enterprise Objects... "
                            "S:Publishing the [1] object [2]...",
                            "0A000000 I:1 I:0 I:0",
                            "09000000 S:user S:alice I:0",
                            "09000000 S:user S:bob I:0",
                            "09000000 S:folder S:Sales I:0",
                            "0A000000 I:2 I:100 I:0",
                            "09000000 S:report S:Q1 Summary I:0",
                            "0A000000 I:2 I:100 I:0",
                        }));
}

TEST_F(InstallerProgressTest, RecordsAreClosedWhenTheRunEndsWithoutClose) {
  {
    CMAInstallerProgress progress(session_, kName, kDescription, kTemplate);
    progress.reportItem("report", "Q1");
  }
  EXPECT_EQ(messages().size(), 4u);
}

// No installer handle (0), or one or both records cannot be created: the run
// goes on without messages and a record that was created is still closed.
TEST_F(InstallerProgressTest, NoMessagesWithoutAHandleOrWhenARecordCannotBeCreated) {
  for (int failing : {0, 1, 2}) {
    SCOPED_TRACE(failing);
    korva::failNextInstallerRecords(failing);
    {
      CMAInstallerProgress progress(failing == 0 ? 0 : session_, kName, kDescription, kTemplate);
      EXPECT_FALSE(progress.active());
      progress.userItem("user", "alice");
      progress.folderItem("folder", "Sales");
      progress.reportItem("report", "Q1");
    }
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(korva::openInstallerRecordCount(), recordsAtStart_);
  }
}

TEST_F(InstallerProgressTest, RecordOwnerClosesItsHandle) {
  MSIHANDLE handle = 0;
  {
    CMAInstallerRecord record(3);
    ASSERT_TRUE(record.valid());
    handle = record.handle();
    EXPECT_EQ(korva::openInstallerRecordCount(), recordsAtStart_ + 1);
  }
  EXPECT_EQ(korva::openInstallerRecordCount(), recordsAtStart_);
  // The handle is gone: the stand-in refuses it.
  EXPECT_EQ(MsiRecordSetInteger(handle, 1, 1), ERROR_INVALID_HANDLE);
}

}  // namespace
