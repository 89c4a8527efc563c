// Reading log lines back in tests: each line without its 24-character time
// stamp and the " - " after it. A line that does not start with a well-formed
// stamp and " - " is answered as "UNSTAMPED: " + line, so that it shows in a
// failure. And the level and context prefixes of the lines, as the log
// writes them.
//
// Thread-safety: plain functions of their arguments.
// Ownership: values only.
#ifndef KORVA_TESTS_COMMON_LOG_LINES_H_
#define KORVA_TESTS_COMMON_LOG_LINES_H_

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

// Level and context prefixes, as the log writes them; LOG_DETAIL indents a
// line that continues the one before.
#define LOG_INFO_PUB "--- INFO  --- (publish): "
#define LOG_ERROR_PUB "--- ERROR --- (publish): "
#define LOG_INFO_ACT "--- INFO  --- (action): "
#define LOG_ERROR_ACT "--- ERROR --- (action): "
#define LOG_ERROR_CFG "--- ERROR --- (config): "
#define LOG_DETAIL "                         "

namespace korva_test_common {

// The lines of a text (a final line without "\n" is kept), unstamped.
inline std::vector<std::string> maskedLines(const std::string& text) {
  static const std::regex stamp(
      "(Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
      "[ 123][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}");
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() >= 27 && std::regex_match(line.substr(0, 24), stamp) &&
        line.compare(24, 3, " - ") == 0) {
      lines.push_back(line.substr(27));
    } else {
      lines.push_back("UNSTAMPED: " + line);
    }
  }
  return lines;
}

// The same for the lines of a file. The log is a text file: it is read in
// text mode, so that the platform's line ends ("\r\n" on Windows) read as "\n".
inline std::vector<std::string> maskedFileLines(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return maskedLines(text.str());
}

}  // namespace korva_test_common

#endif  // KORVA_TESTS_COMMON_LOG_LINES_H_
