// Tests of the installer functions over the in-process session table: every
// answer, including bad and closed handles, buffer sizes and message records.
#include "platform/installer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using korva::InstallerField;
using korva::InstallerMessage;

class InstallerTest : public ::testing::Test {
 protected:
  void SetUp() override { recordsBefore_ = korva::openInstallerRecordCount(); }
  void TearDown() override {
    for (MSIHANDLE s : sessions_) korva::closeInstallerSession(s);
    EXPECT_EQ(korva::openInstallerRecordCount(), recordsBefore_) << "a record was left open";
  }
  MSIHANDLE open(const std::map<std::string, std::string>& properties,
                 const std::vector<MSIRUNMODE>& modes = {}) {
    MSIHANDLE h = korva::openInstallerSession(properties, modes);
    sessions_.push_back(h);
    return h;
  }

  std::vector<MSIHANDLE> sessions_;
  int recordsBefore_ = 0;
};

InstallerField str(const std::string& s) {
  InstallerField f;
  f.kind = InstallerField::Kind::String;
  f.text = s;
  return f;
}
InstallerField num(int n) {
  InstallerField f;
  f.kind = InstallerField::Kind::Integer;
  f.integer = n;
  return f;
}
InstallerField null() { return InstallerField(); }

bool sameFields(const std::vector<InstallerField>& a, const std::vector<InstallerField>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].kind != b[i].kind || a[i].integer != b[i].integer || a[i].text != b[i].text) {
      return false;
    }
  }
  return true;
}

TEST_F(InstallerTest, GetPropertyCopiesWhatFitsAndReportsTheLength) {
  const std::string v511(511, 'a');
  const std::string v512(512, 'b');
  MSIHANDLE h =
      open({{"CA_VR_APSNAME", "server-1"}, {"LONG511", v511}, {"LONG512", v512}, {"EMPTY", ""}});
  struct Case {
    const char* name;
    unsigned long size;
    UINT result;
    unsigned long length;
    std::string buffer;
  };
  const std::vector<Case> cases = {
      {"CA_VR_APSNAME", 512, ERROR_SUCCESS, 8, "server-1"},
      {"ca_vr_apsname", 512, ERROR_SUCCESS, 0, ""},  // names are case-sensitive
      {"MISSING", 512, ERROR_SUCCESS, 0, ""},
      {"EMPTY", 512, ERROR_SUCCESS, 0, ""},
      {"LONG511", 512, ERROR_SUCCESS, 511, v511},
      {"LONG512", 512, ERROR_MORE_DATA, 512, std::string(511, 'b')},
      {"CA_VR_APSNAME", 9, ERROR_SUCCESS, 8, "server-1"},
      {"CA_VR_APSNAME", 8, ERROR_MORE_DATA, 8, "server-"},
      {"CA_VR_APSNAME", 1, ERROR_MORE_DATA, 8, ""},
  };
  for (const Case& c : cases) {
    std::vector<char> buffer(600, 'X');
    unsigned long length = c.size;
    EXPECT_EQ(MsiGetPropertyA(h, c.name, buffer.data(), &length), c.result) << c.name << c.size;
    EXPECT_EQ(length, c.length) << c.name << c.size;
    EXPECT_EQ(std::string(buffer.data()), c.buffer) << c.name << c.size;
    EXPECT_EQ(buffer[c.size], 'X') << "wrote past the buffer: " << c.name << c.size;
  }

  // A zero-sized buffer is left alone.
  char untouched = 'X';
  unsigned long zero = 0;
  EXPECT_EQ(MsiGetPropertyA(h, "CA_VR_APSNAME", &untouched, &zero), ERROR_MORE_DATA);
  EXPECT_EQ(zero, 8u);
  EXPECT_EQ(untouched, 'X');
  // Asking for the length only.
  unsigned long only = 0;
  EXPECT_EQ(MsiGetPropertyA(h, "LONG512", nullptr, &only), ERROR_SUCCESS);
  EXPECT_EQ(only, 512u);
  // Missing arguments.
  char buffer[16];
  unsigned long size = sizeof buffer;
  EXPECT_EQ(MsiGetPropertyA(h, nullptr, buffer, &size), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MsiGetPropertyA(h, "CA_VR_APSNAME", buffer, nullptr), ERROR_INVALID_PARAMETER);
}

TEST_F(InstallerTest, GetModeAnswersTheModesInForce) {
  MSIHANDLE rollback = open({}, {MSIRUNMODE_ROLLBACK, MSIRUNMODE_SCHEDULED});
  MSIHANDLE plain = open({});
  const MSIRUNMODE all[] = {MSIRUNMODE_ADMIN,       MSIRUNMODE_ADVERTISE,
                            MSIRUNMODE_MAINTENANCE, MSIRUNMODE_ROLLBACKENABLED,
                            MSIRUNMODE_SCHEDULED,   MSIRUNMODE_ROLLBACK,
                            MSIRUNMODE_COMMIT};
  for (MSIRUNMODE m : all) {
    bool inForce = m == MSIRUNMODE_ROLLBACK || m == MSIRUNMODE_SCHEDULED;
    EXPECT_EQ(MsiGetMode(rollback, m) != 0, inForce) << m;
    EXPECT_EQ(MsiGetMode(plain, m), 0) << m;
  }
}

TEST_F(InstallerTest, MessagesKeepEveryFieldInOrder) {
  MSIHANDLE h = open({});
  MSIHANDLE other = open({});
  MSIHANDLE action = MsiCreateRecord(3);
  MSIHANDLE tick = MsiCreateRecord(4);
  ASSERT_NE(action, 0u);
  ASSERT_NE(tick, 0u);
  EXPECT_NE(action, tick);
  EXPECT_EQ(korva::openInstallerRecordCount(), recordsBefore_ + 2);

  EXPECT_EQ(MsiRecordSetStringA(action, 1, "Publish Custom Action"), ERROR_SUCCESS);
  EXPECT_EQ(MsiRecordSetStringA(action, 2, ""), ERROR_SUCCESS);
  EXPECT_EQ(MsiRecordSetStringA(action, 3, "Publishing the [1] object [2]..."), ERROR_SUCCESS);
  EXPECT_EQ(MsiProcessMessage(h, INSTALLMESSAGE_ACTIONSTART, action), 1);
  // A field set again replaces its value and kind.
  EXPECT_EQ(MsiRecordSetInteger(action, 1, 1), ERROR_SUCCESS);
  EXPECT_EQ(MsiRecordSetInteger(action, 2, 0), ERROR_SUCCESS);
  EXPECT_EQ(MsiRecordSetInteger(action, 3, -7), ERROR_SUCCESS);
  EXPECT_EQ(MsiProcessMessage(h, INSTALLMESSAGE_PROGRESS, action), 1);
  // Unset fields stay null; the installer's null integer and a null text clear a field.
  EXPECT_EQ(MsiRecordSetInteger(tick, 1, 2), ERROR_SUCCESS);
  EXPECT_EQ(MsiRecordSetInteger(tick, 2, INT_MIN), ERROR_SUCCESS);
  EXPECT_EQ(MsiRecordSetStringA(tick, 3, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(MsiProcessMessage(h, INSTALLMESSAGE_ACTIONDATA, tick), 1);
  // Changing a record after sending it does not change the message sent.
  EXPECT_EQ(MsiRecordSetStringA(tick, 4, "later"), ERROR_SUCCESS);

  std::vector<InstallerMessage> messages = korva::installerMessages(h);
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].type, INSTALLMESSAGE_ACTIONSTART);
  EXPECT_TRUE(sameFields(messages[0].fields, {str("Publish Custom Action"), str(""),
                                              str("Publishing the [1] object [2]...")}));
  EXPECT_EQ(messages[1].type, INSTALLMESSAGE_PROGRESS);
  EXPECT_TRUE(sameFields(messages[1].fields, {num(1), num(0), num(-7)}));
  EXPECT_EQ(messages[2].type, INSTALLMESSAGE_ACTIONDATA);
  EXPECT_TRUE(sameFields(messages[2].fields, {num(2), null(), null(), null()}));
  EXPECT_TRUE(korva::installerMessages(other).empty());

  EXPECT_EQ(MsiCloseHandle(action), ERROR_SUCCESS);
  EXPECT_EQ(MsiCloseHandle(tick), ERROR_SUCCESS);
}

TEST_F(InstallerTest, FieldNumbersOutsideTheRecordAreRefused) {
  MSIHANDLE r = MsiCreateRecord(3);
  ASSERT_NE(r, 0u);
  for (UINT field : {0u, 4u, 65536u}) {
    EXPECT_EQ(MsiRecordSetStringA(r, field, "x"), ERROR_INVALID_PARAMETER) << field;
    EXPECT_EQ(MsiRecordSetInteger(r, field, 1), ERROR_INVALID_PARAMETER) << field;
  }
  EXPECT_EQ(MsiRecordSetStringA(r, 3, "x"), ERROR_SUCCESS);
  EXPECT_EQ(MsiCloseHandle(r), ERROR_SUCCESS);
  EXPECT_EQ(MsiCreateRecord(65536), 0u);
}

TEST_F(InstallerTest, BadHandlesAreAnsweredNeverFollowed) {
  MSIHANDLE session = open({{"P", "v"}}, {MSIRUNMODE_ROLLBACK});
  MSIHANDLE closedSession = korva::openInstallerSession({{"P", "v"}}, {MSIRUNMODE_ROLLBACK});
  korva::closeInstallerSession(closedSession);
  korva::closeInstallerSession(closedSession);  // twice is harmless
  MSIHANDLE record = MsiCreateRecord(2);
  MSIHANDLE closedRecord = MsiCreateRecord(2);
  ASSERT_EQ(MsiCloseHandle(closedRecord), ERROR_SUCCESS);

  const MSIHANDLE notSessions[] = {0, closedSession, record, closedRecord, 999999999ul};
  for (MSIHANDLE h : notSessions) {
    char buffer[8] = "keep";
    unsigned long size = sizeof buffer;
    EXPECT_EQ(MsiGetPropertyA(h, "P", buffer, &size), ERROR_INVALID_HANDLE) << h;
    EXPECT_STREQ(buffer, "keep");
    EXPECT_EQ(MsiGetMode(h, MSIRUNMODE_ROLLBACK), 0) << h;
    EXPECT_EQ(MsiProcessMessage(h, INSTALLMESSAGE_ACTIONDATA, record), -1) << h;
    EXPECT_TRUE(korva::installerMessages(h).empty()) << h;
  }
  const MSIHANDLE notRecords[] = {0, session, closedRecord, 999999999ul};
  for (MSIHANDLE h : notRecords) {
    EXPECT_EQ(MsiRecordSetStringA(h, 1, "x"), ERROR_INVALID_HANDLE) << h;
    EXPECT_EQ(MsiRecordSetInteger(h, 1, 1), ERROR_INVALID_HANDLE) << h;
    EXPECT_EQ(MsiProcessMessage(session, INSTALLMESSAGE_ACTIONDATA, h), -1) << h;
  }
  EXPECT_TRUE(korva::installerMessages(session).empty());

  // Sessions are closed by their host, not with MsiCloseHandle.
  EXPECT_EQ(MsiCloseHandle(session), ERROR_INVALID_HANDLE);
  EXPECT_NE(MsiGetMode(session, MSIRUNMODE_ROLLBACK), 0);
  EXPECT_EQ(MsiCloseHandle(closedRecord), ERROR_INVALID_HANDLE);
  EXPECT_EQ(MsiCloseHandle(999999999ul), ERROR_INVALID_HANDLE);
  EXPECT_EQ(MsiCloseHandle(0), ERROR_SUCCESS);
  EXPECT_EQ(MsiCloseHandle(record), ERROR_SUCCESS);
}

TEST_F(InstallerTest, RecordCreationCanBeMadeToFail) {
  korva::failNextInstallerRecords(2);
  EXPECT_EQ(MsiCreateRecord(3), 0u);
  EXPECT_EQ(MsiCreateRecord(4), 0u);
  EXPECT_EQ(korva::openInstallerRecordCount(), recordsBefore_);
  MSIHANDLE r = MsiCreateRecord(3);
  EXPECT_NE(r, 0u);
  EXPECT_EQ(korva::openInstallerRecordCount(), recordsBefore_ + 1);
  EXPECT_EQ(MsiCloseHandle(r), ERROR_SUCCESS);
  korva::failNextInstallerRecords(5);
  korva::failNextInstallerRecords(0);  // cancels
  r = MsiCreateRecord(1);
  EXPECT_NE(r, 0u);
  EXPECT_EQ(MsiCloseHandle(r), ERROR_SUCCESS);
}

TEST_F(InstallerTest, HandlesAreDistinctAcrossThreads) {
  MSIHANDLE session = open({});
  constexpr int kThreads = 4;
  constexpr int kPerThread = 200;
  std::vector<std::vector<MSIHANDLE>> made(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) {
        MSIHANDLE r = MsiCreateRecord(1);
        MsiRecordSetInteger(r, 1, t);
        MsiProcessMessage(session, INSTALLMESSAGE_PROGRESS, r);
        made[t].push_back(r);
      }
    });
  }
  for (std::thread& th : threads) th.join();
  std::set<MSIHANDLE> distinct;
  for (const auto& list : made) distinct.insert(list.begin(), list.end());
  distinct.insert(session);
  EXPECT_EQ(distinct.size(), static_cast<size_t>(kThreads * kPerThread + 1));
  EXPECT_EQ(distinct.count(0), 0u);
  EXPECT_EQ(korva::installerMessages(session).size(), static_cast<size_t>(kThreads * kPerThread));
  for (const auto& list : made) {
    for (MSIHANDLE r : list) EXPECT_EQ(MsiCloseHandle(r), ERROR_SUCCESS);
  }
}

}  // namespace
