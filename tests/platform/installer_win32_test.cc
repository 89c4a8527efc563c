// The installer's functions on Windows are msi.dll's own: records keep what
// is set in them, and a handle that is no install session is refused.
#include <gtest/gtest.h>

#include <string>

#include "platform/installer.h"

namespace {

TEST(InstallerWin32Test, RecordsKeepTheirFields) {
  const MSIHANDLE record = MsiCreateRecord(3);
  ASSERT_NE(record, 0u);
  EXPECT_EQ(MsiRecordSetStringA(record, 1, "folder"), ERROR_SUCCESS);
  EXPECT_EQ(MsiRecordSetStringA(record, 2, "Finance"), ERROR_SUCCESS);
  EXPECT_EQ(MsiRecordSetInteger(record, 3, 100), ERROR_SUCCESS);
  EXPECT_EQ(MsiRecordSetInteger(record, 4, 1), ERROR_INVALID_PARAMETER);
  char text[16];
  DWORD length = sizeof text;
  EXPECT_EQ(MsiRecordGetStringA(record, 2, text, &length), ERROR_SUCCESS);
  EXPECT_EQ(std::string(text, length), "Finance");
  EXPECT_EQ(MsiRecordGetInteger(record, 3), 100);
  EXPECT_EQ(MsiCloseHandle(record), ERROR_SUCCESS);
}

TEST(InstallerWin32Test, AHandleThatIsNoSessionIsRefused) {
  char value[512] = "unchanged";
  DWORD length = sizeof value;
  EXPECT_EQ(MsiGetPropertyA(0, "CA_VR_APSNAME", value, &length), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(MsiGetMode(0, MSIRUNMODE_ROLLBACK));
  const MSIHANDLE record = MsiCreateRecord(4);
  ASSERT_NE(record, 0u);
  EXPECT_NE(MsiProcessMessage(0, INSTALLMESSAGE_PROGRESS, record), IDOK);
  EXPECT_EQ(MsiCloseHandle(record), ERROR_SUCCESS);
}

}  // namespace
