// POSIX file names are bytes: SQLite opens them as given, and a UTF-8 name
// is its own local spelling.
//
// Thread-safety: a pure function.
#include "platform/file_name_utf8.h"

namespace korva {

bool fileNameAsUtf8(const std::string& local, std::string* utf8) {
  *utf8 = local;
  return true;
}

bool fileNameFromUtf8(const std::string& utf8, std::string* local) {
  *local = utf8;
  return true;
}

}  // namespace korva
