// What the tests need to know of the platform they run on, answered by the
// implementation CMake picks (common/posix or common/win32), so that no test
// asks the operating system in an #ifdef: file names of programs, what a
// program's exit status can carry, where the programs look for their
// library, and how to run a program as a child process.
//
// Thread-safety: the answers are constants; runChild may run on any thread.
// Ownership: runChild's files belong to the caller; the child is waited for.
#ifndef KORVA_TESTS_COMMON_TEST_PLATFORM_H_
#define KORVA_TESTS_COMMON_TEST_PLATFORM_H_

#include <string>
#include <vector>

namespace korva_test {

// The file name of the program built as target `name` ("name.exe" on Windows).
std::string programFileName(const std::string& name);

// Whether a program's exit status carries the whole 32-bit number it
// returned (Windows), or only its low byte (POSIX).
bool exitStatusIsWhole();

// Whether the programs also find their library in ../lib beside their own
// directory (their RPATH on POSIX); on Windows only their own directory.
bool programsSearchLibDirectory();

// Whether the programs take a UTF-8 locale where the environment leaves the
// plain "C" one (POSIX); on Windows they take the ANSI code page's.
bool programsPreferUtf8Locale();

// Whether the C library's "C" locale refuses bytes above 127 as characters
// (glibc: it is plain ASCII), or reads each byte as the character of the
// same number (the Windows C runtime), so that no 8-bit text fails to
// convert there.
bool cLocaleRefusesBytesAbove127();

// Whether the C runtime offers a UTF-8 character type locale ("C.UTF-8";
// the Windows C runtime the deliverables link, msvcrt, has none).
bool hasUtf8CtypeLocale();

// Whether a file path may be longer than 260 characters (Windows' ANSI file
// functions stop at MAX_PATH).
bool pathsMayExceed260Characters();

// Whether the SAX reader is our expat-backed one (POSIX) rather than the
// platform's MSXML reader (Windows). They differ where the engine does not
// depend on it: a document type declaration or entity expat ignores or
// refuses may fail the MSXML parse earlier or for another reason, and an
// encoding declaration that does not fit the bytes is not always refused.
bool xmlReaderIsExpat();

// Whether the tests run under wine rather than on Windows itself (or POSIX),
// for the few places where wine's C runtime answers differently.
bool runsUnderWine();

// How the programs spell UTF-8 text in file names and log lines: the same
// bytes on POSIX (they run in a UTF-8 locale), the ANSI code page's on
// Windows; "" when the code page cannot hold the text.
std::string programSpelling(const std::string& utf8);

// The process's environment as "NAME=value" entries.
std::vector<std::string> currentEnvironment();

// Whether environment variable names are compared without regard to letter
// case (Windows).
bool environmentNamesIgnoreCase();

// Sets or removes a variable of the process's environment where the C
// runtime's getenv reads it, and so where every module on the same runtime
// sees it (on Windows msvcrt keeps a copy of its own beside the system's;
// _putenv_s changes both). Windows has no empty values: an empty value
// removes the variable there.
void setEnvironmentVariable(const std::string& name, const std::string& value);
void unsetEnvironmentVariable(const std::string& name);

// The variable that names the programs' directory for temporary files
// (TMPDIR on POSIX; TMP on Windows, which GetTempPath reads first).
const char* temporaryDirectoryVariable();

// The id of the running process.
int processId();

struct ChildResult {
  bool started = false;  // false: the program could not be run at all
  bool exited = false;   // it ended by returning or calling exit
  int exitCode = -1;     // its exit status, when it exited
  std::string error;     // why it did not start or did not exit
};

// Runs program with args (argv[1] on) and exactly the given environment,
// its standard output and error going to the two files (created or
// truncated), in the working directory cwd (the test's own when empty), its
// standard input read from inFile (when empty: the test's own on POSIX, the
// null device on Windows), and waits for it.
ChildResult runChild(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& environment, const std::string& outFile,
                     const std::string& errFile, const std::string& cwd,
                     const std::string& inFile = "");

}  // namespace korva_test

#endif  // KORVA_TESTS_COMMON_TEST_PLATFORM_H_
