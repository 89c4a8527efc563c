// Shared fixture of the report server client tests: a fresh embedded server
// repository in a temporary home per test (common/server_home_test.h), the
// action log captured in a file and read back line by line with the time
// stamps masked.
//
// Thread-safety: tests run one at a time on one thread (the environment and
// the server's plans are process-wide).
// Ownership: the fixture owns the client, the temporary home and the log file.
#ifndef KORVA_TESTS_SERVER_SERVER_TEST_UTIL_H_
#define KORVA_TESTS_SERVER_SERVER_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "com/ref.h"
#include "common/action_log.h"
#include "common/log_lines.h"
#include "common/server_home_test.h"
#include "common/status.h"
#include "platform/com.h"
#include "reportserver/admin/repository_admin.h"
#include "reportserver/store/repository.h"
#include "reportserver/store/server_home.h"
#include "reportserver/testing/fault_plan.h"
#include "server/report_server.h"
#include "server/ve_obj_v85.h"

namespace korva_test {

using korva_test_common::B;
using Lines = std::vector<std::string>;

inline const char* const kAps = "testaps";
inline const char* const kAdmin = "Administrator";
inline const char* const kPassword = "s3cret";
inline const char* const kAuth = "secEnterprise";

inline std::string E(const std::string& text) { return KORVA_ERROR KORVA_CTX_PUBLISH + text; }
inline std::string W(const std::string& text) { return KORVA_WARN KORVA_CTX_PUBLISH + text; }
inline std::string I(const std::string& text) { return KORVA_INFO KORVA_CTX_PUBLISH + text; }

inline const std::string& blanks() {
  static const std::string b(25, ' ');
  return b;
}

// The two detail lines for a fault injected into `operation`.
inline Lines detail(const std::string& operation) {
  return {blanks() + "The following error is returned from Veltrane Enterprise:",
          blanks() + "Injected fault in " + operation + "."};
}

inline Lines noDetail() {
  return {blanks() + "Failed to retrieve detailed error from Veltrane Enterprise."};
}

// Concatenates groups of lines.
inline Lines join(std::initializer_list<Lines> parts) {
  Lines out;
  for (const Lines& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline std::string num(int value) { return std::to_string(value); }

// A warning line followed by the detail lines of the fault in `operation`.
inline Lines warned(const std::string& text, const std::string& operation) {
  return join({{W(text)}, detail(operation)});
}

// The lines with each `from` in them written as `to`.
inline Lines replaced(Lines lines, const std::string& from, const std::string& to) {
  for (std::string& line : lines) {
    const size_t at = line.find(from);
    if (at != std::string::npos) line.replace(at, from.size(), to);
  }
  return lines;
}

// One row of a failure table: what is run, under which fault plan, and the
// lines and status it must give.
struct FaultCase {
  std::string operation;  // names the row in failure messages
  std::string plan;
  std::function<int()> run;
  Lines expected;
  int status;
};

class ServerClientTest : public korva_test_common::ServerHomeTest {
 protected:
  ServerClientTest() : ServerHomeTest("korva-client-") {}

  void SetUp() override {
    ServerHomeTest::SetUp();
    if (HasFatalFailure()) return;
    std::string error;
    ASSERT_TRUE(korva::initRepository(kAps, kPassword, &error)) << error;
    logPath_ = (home_ / "action.log").string();
    ActionLog::open(logPath_.c_str());
    client_ = std::make_unique<CMAVEObjV85>();
  }

  void TearDown() override {
    client_.reset();
    ActionLog::open(nullptr);
    ServerHomeTest::TearDown();
  }

  CMAVEObjV85& client() { return *client_; }

  // Connects as the administrator and forgets the connection's log line.
  void connect() {
    ASSERT_EQ(client().connect(kAps, kAdmin, kPassword, kAuth), kStatusOk) << dump(takeLines());
    takeLines();
  }

  // The lines written since the last call, each without its time stamp
  // (common/log_lines.h); the log starts afresh.
  Lines takeLines() {
    Lines out = korva_test_common::maskedFileLines(logPath_);
    ActionLog::open(logPath_.c_str());
    return out;
  }

  // Runs each row with its fault plan in force (the plan's call counts start
  // with the row) and compares the status and the exact lines it wrote.
  void runCases(const std::vector<FaultCase>& cases) {
    for (const FaultCase& c : cases) {
      SCOPED_TRACE(c.operation + " with fault plan \"" + c.plan + "\"");
      takeLines();
      korva::setServerFaultPlan(c.plan);
      id_ = -1;
      const int status = c.run();
      korva::clearServerFaultPlan();
      EXPECT_EQ(status, c.status);
      // "{id}" in an expected line stands for the id the row handed back.
      Lines expected = c.expected;
      for (std::string& line : expected) {
        const size_t at = line.find("{id}");
        if (at != std::string::npos) line.replace(at, 4, num(id_));
      }
      EXPECT_EQ(takeLines(), expected);
    }
  }

  // A row whose step fails with `error`, followed by the server's detail for
  // the plan's operation (its "#n" call number dropped) and `closing`.
  static FaultCase failing(const std::string& operation, const std::string& plan,
                           std::function<int()> run, const std::string& error,
                           const std::string& closing, int status) {
    return {operation, plan, std::move(run),
            join({{E(error)}, detail(plan.substr(0, plan.find('#'))), {closing}}), status};
  }

  // The rows of one table that run the same step and end with the same
  // closing line: step(plan, error, status) is such a failing row.
  struct Steps {
    std::string operation;
    std::function<int()> run;
    std::string closing;
    FaultCase operator()(const std::string& plan, const std::string& error, int status) const {
      return failing(operation, plan, run, error, closing, status);
    }
  };

  static std::string dump(const Lines& lines) {
    std::ostringstream s;
    for (const std::string& l : lines) s << "\n  " << l;
    return s.str();
  }

  // A small local file to attach to reports.
  std::string reportFile(const std::string& name) {
    std::filesystem::path p = home_ / name;
    std::ofstream(p) << "report content of " << name << "\n";
    return p.string();
  }

  // What the repository holds, read behind the client's back.
  bool stored(bool system, int32_t id, korva::ObjectRecord* out) {
    korva::Database db;
    std::vector<korva::ObjectRecord> records;
    std::string error;
    EXPECT_TRUE(openRepository(db, &error)) << error;
    EXPECT_TRUE(
        korva::loadObjects(db, system, {{korva::QueryTerm::Field::Id, id}}, &records, &error))
        << error;
    if (records.size() != 1) return false;
    *out = records[0];
    return true;
  }

  std::vector<korva::RightRecord> storedRights(int32_t objectId) {
    korva::Database db;
    std::vector<korva::RightRecord> rights;
    std::string error;
    EXPECT_TRUE(openRepository(db, &error)) << error;
    EXPECT_TRUE(korva::loadRights(db, objectId, &rights, &error)) << error;
    return rights;
  }

  static bool openRepository(korva::Database& db, std::string* error) {
    std::string name, path;
    return korva::repositoryLocation(kAps, &name, &path, error) &&
           korva::openRepository(path, &db, error);
  }

  std::string userType() { return num(client().userTypeId()); }
  std::string folderType() { return num(client().folderTypeId()); }
  std::string reportType() { return num(client().reportTypeId()); }

  std::string logPath_;
  int32_t id_ = -1;  // the id an add operation of a table row handed back
  std::unique_ptr<CMAVEObjV85> client_;
};

// A client connected as the administrator, with the objects the derived
// fixture adds in populate(); their log lines are dropped.
class ConnectedClientTest : public ServerClientTest {
 protected:
  void SetUp() override {
    ServerClientTest::SetUp();
    if (HasFatalFailure()) return;
    connect();
    if (HasFatalFailure()) return;
    populate();
    takeLines();
  }

  virtual void populate() = 0;
};

}  // namespace korva_test

#endif  // KORVA_TESTS_SERVER_SERVER_TEST_UTIL_H_
