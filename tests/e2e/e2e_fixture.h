// The shared fixture of the end-to-end tests: a temporary work directory, an
// embedded server home in it with one initialised repository, a copy of the
// example report tree, and the calls that run korvapush and korvadrop
// against that server with the log on standard output.
//
// Thread-safety: one test at a time. Ownership: the fixture owns its
// temporary directory and everything in it.
#ifndef KORVA_TESTS_E2E_E2E_FIXTURE_H_
#define KORVA_TESTS_E2E_E2E_FIXTURE_H_

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "e2e/e2e_util.h"

namespace e2e {

// The APS name the tests publish to.
constexpr char kAps[] = "korva-e2e";

using Lines = std::vector<std::string>;

// The warnings for the two misplaced users of the example instructions file.
inline const char kWarnNoName[] =
    "--- WARN  --- (config): The element \"user\", which misses the \"name\" attribute, is "
    "skipped.";
inline const char kWarnOutside[] =
    "--- WARN  --- (config): The element \"user\", which does not appear within \"users\", is "
    "skipped.";

// The last line of a publish that failed.
inline const char kPublishFailed[] = LOG_ERROR_ACT "Failed to publish Veltrane Enterprise objects.";

// The first line of a run that logged on to kAps as the Administrator.
inline std::string connected() { return connected(kAps); }

inline std::string id(int64_t value) { return std::to_string(value); }

class E2ETest : public ::testing::Test {
 protected:
  void SetUp() override;

  fs::path work() const { return work_.path(); }
  fs::path tree() const { return work_.path() / "reports"; }
  const ServerHome& server() const { return server_; }
  Json dump() const { return server_.dump(kAps); }

  // korvapush -apsname korva-e2e -srcfile <srcFile> -srcpath <srcPath> ...
  ProgramRun push(const std::string& srcFile, const std::string& srcPath,
                  const std::vector<std::string>& more = {},
                  const std::vector<std::string>& env = {}) const;
  // korvadrop -apsname korva-e2e ...
  ProgramRun drop(const std::vector<std::string>& more,
                  const std::vector<std::string>& env = {}) const;
  std::vector<std::string> environment(const std::vector<std::string>& env) const;

  // The example instructions file.
  static std::string examplePublishXml() { return sourcePath("examples/publish.xml"); }

 private:
  TempDir work_;
  ServerHome server_{work_.path() / "servers"};
};

// The same with the example (examples/publish.xml and its tree) published
// first by the Administrator: users audit1 (FullControl) and sales1 (View) on
// the top-level folders Finance and HR.
class PublishedExampleTest : public E2ETest {
 protected:
  void SetUp() override;
};

// Builds lines in the order the walk takes: for every entry of dir (in the
// listing's order) the lines that `lines` gives for its path relative to the
// top ("HR", "Finance/Archive", "HR/staff.rpt"), then, for a directory whose
// entry answered `enter`, the lines of its own entries.
void appendWalkLines(std::vector<std::string>* out, const fs::path& top,
                     const std::function<std::vector<std::string>(const std::string&)>& lines,
                     const std::function<bool(const std::string&)>& enter,
                     const std::string& relative = "");
// The same with the lines of each path from a table; a path the table lacks
// gives "unexpected entry <path>". Every directory is entered unless `enter`
// says otherwise.
void appendWalkLines(
    std::vector<std::string>* out, const fs::path& top,
    const std::map<std::string, std::vector<std::string>>& byPath,
    const std::function<bool(const std::string&)>& enter = [](const std::string&) { return true; });

}  // namespace e2e

#endif  // KORVA_TESTS_E2E_E2E_FIXTURE_H_
