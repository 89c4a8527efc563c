// POSIX file names are bytes: SQLite opens them as given.
//
// Thread-safety: a pure function.
#include "platform/file_name_utf8.h"

namespace korva {

bool fileNameAsUtf8(const std::string& local, std::string* utf8) {
  *utf8 = local;
  return true;
}

}  // namespace korva
