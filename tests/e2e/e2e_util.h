// Helpers of the end-to-end tests: temporary directories, running the real
// programs (korvapush, korvadrop, korvaserver) with a chosen environment and
// working directory, masking the time stamps of log lines, reading the JSON
// that `korvaserver dump` prints, and file digests.
//
// Thread-safety: the tests run on one thread; runProgram waits for its child.
// Ownership: a TempDir (common/test_files.h) removes its tree when destroyed;
// runProgram's output files live in a TempDir of the call.
#ifndef KORVA_TESTS_E2E_E2E_UTIL_H_
#define KORVA_TESTS_E2E_E2E_UTIL_H_

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/log_lines.h"
#include "common/test_files.h"
#include "common/test_platform.h"

namespace e2e {

namespace fs = std::filesystem;

// Temporary directories: the system's (tempBase), a fresh one in a given
// directory (makeTempDir), a fresh one removed with its tree (TempDir).
using korva_test_common::makeTempDir;
using korva_test_common::tempBase;
using korva_test_common::TempDir;

struct ProgramRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// The test's own environment with the changes of `env`: entries
// ("NAME=value") are added or replace those of the same name; "NAME" alone
// removes a variable. Names match as the platform compares them.
std::vector<std::string> changedEnvironment(const std::vector<std::string>& env);

// The lists execve takes, made before a fork (POSIX): the environment is
// changedEnvironment(env); argv points into program and args.
struct ExecLists {
  ExecLists(const std::string& program, const std::vector<std::string>& args,
            const std::vector<std::string>& env);
  std::vector<std::string> environment;
  std::vector<char*> argv;
  std::vector<char*> envp;
};

// Runs a program with arguments and waits for it; its standard output and
// error are read back from files as text (readText). `env` entries ("NAME=value") are added to
// (or replace those of) the test's own environment; "NAME" alone removes a
// variable. `cwd` empty: the test's directory. `input`: the text its standard
// input reads (none given: the platform's default, see runChild). A program
// that could not be run, or did not exit, answers -1 with the reason in
// `err`.
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::string>& env = {}, const std::string& cwd = "",
                      const std::optional<std::string>& input = std::nullopt);

// What a program's exit status shows of the result 1603: Windows carries it
// whole, POSIX keeps the low eight bits.
inline const int kExitFatal = korva_test::exitStatusIsWhole() ? 1603 : 1603 & 0xFF;

// The first line of a run that logged on to aps as the user.
std::string connected(const std::string& aps, const std::string& user = "Administrator");
// "Successfully added <kind> <name> with id <id> to Veltrane Enterprise." and
// its "updated" twin; "Successfully set the right to <right> on object ...".
std::string addedLine(const std::string& kind, const std::string& name, const std::string& id);
std::string updatedLine(const std::string& kind, const std::string& name, const std::string& id);
std::string rightLine(const std::string& right, const std::string& object, const std::string& user);
// The nine summary lines after a successful publish.
std::vector<std::string> publishSummary(const std::string& srcFile, int usersAdded,
                                        int usersUpdated, int usersSkipped, int foldersAdded,
                                        int foldersUpdated, int foldersSkipped, int reportsAdded,
                                        int reportsUpdated, int reportsSkipped);
// The five summary lines after a successful delete.
std::vector<std::string> deleteSummary(int foldersDeleted, int foldersSkipped, int reportsDeleted,
                                       int reportsSkipped);
// Appends b to a.
void append(std::vector<std::string>* a, const std::vector<std::string>& b);

// Paths of the build's products: binPath names the program built as target
// `name` (with ".exe" on Windows).
std::string binPath(const char* name);
std::string sourcePath(const char* relative);

// The lines of a text; a final line without "\n" is kept.
std::vector<std::string> splitLines(const std::string& text);
// Log lines without their time stamp (common/log_lines.h), from a text or
// from a log file.
using korva_test_common::maskedFileLines;
using korva_test_common::maskedLines;

// A file's bytes; a text file's text, with the platform's line ends ("\r\n"
// on Windows) read as "\n".
using korva_test_common::readFile;
using korva_test_common::readText;
void writeFile(const fs::path& path, const std::string& content);
// The hex SHA-256 of a file's bytes (the platform's digest, which has
// known-value tests of its own).
std::string sha256OfFile(const fs::path& path);

// A parsed JSON value, enough for `korvaserver dump`.
struct Json {
  enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<Json> items;                            // Array
  std::vector<std::pair<std::string, Json>> members;  // Object, in order

  // The member of an object; a Null value when absent.
  const Json& operator[](const char* name) const;
  const Json& operator[](size_t i) const { return items.at(i); }
  bool has(const char* name) const;
  int64_t integer() const { return static_cast<int64_t>(number); }
  size_t size() const { return kind == Kind::Array ? items.size() : members.size(); }
};

// Parses a whole document; throws std::runtime_error on malformed input.
Json parseJson(const std::string& text);

// The embedded server in a home of its own: `korvaserver` runs with
// KORVA_SERVER_HOME set to that home.
class ServerHome {
 public:
  explicit ServerHome(const fs::path& home) : home_(home) {}
  std::string homeEnv() const { return "KORVA_SERVER_HOME=" + home_.string(); }
  // `korvaserver init`; an empty apsName uses the program's default name.
  ProgramRun init(const std::string& apsName, const std::string& password = "") const;
  // `korvaserver dump`, parsed; fails the test when the program fails.
  Json dump(const std::string& apsName) const;
  ProgramRun tool(const std::vector<std::string>& args) const;

 private:
  fs::path home_;
};

// In a dump: the objects (folders and reports) and users.
const Json* findUser(const Json& dump, const std::string& name);
const Json* findObject(const Json& dump, const std::string& type, const std::string& title,
                       int64_t parentId);
// The id of the folder at a "/"-separated path from the top ("" is 0); -1
// when a folder on the way is missing.
int64_t folderIdAt(const Json& dump, const std::string& path);
// The id of the report of that title in the folder at path; -1 when missing.
int64_t reportIdAt(const Json& dump, const std::string& folderPath, const std::string& title);
// The id of a user; -1 when missing.
int64_t userIdOf(const Json& dump, const std::string& name);
// A server's content as lines that neither ids nor the order of adding
// change: every user but the Administrator, every folder and report by its
// path of titles ("\" between them), with its rights by user name, sorted.
// Given a folder path `top`, only that folder and what is in it, with paths
// from that folder on.
std::vector<std::string> contentOf(const Json& dump, const std::string& top = "");
// The rights of an object as (user id, role) pairs.
std::vector<std::pair<int64_t, int64_t>> rightsOf(const Json& object);

// Names in a directory in the order the system lists them (the order the
// publish walk takes), "." and ".." left out.
std::vector<std::string> listingOrder(const fs::path& dir);

// Copies the example report tree (examples/reports) into dir.
void copyExampleTree(const fs::path& dir);

}  // namespace e2e

#endif  // KORVA_TESTS_E2E_E2E_UTIL_H_
