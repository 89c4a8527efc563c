// A report's file content in the repository: checked when it is attached,
// streamed in at commit in chunks of at most 1 MiB (so memory does not grow
// with the file), with its base name, size and SHA-256, and streamed out
// again for checks.
//
// Thread-safety: one Database per thread.
#ifndef KORVA_REPORTSERVER_REPORT_CONTENT_H_
#define KORVA_REPORTSERVER_REPORT_CONTENT_H_

#include <cstdint>
#include <string>

#include "reportserver/sqlite_db.h"

namespace korva {

constexpr size_t kReportChunkBytes = 1024 * 1024;

struct StoredFile {
  std::string name;  // base name
  int64_t size = 0;
  std::string sha256;  // lower-case hex
};

// Whether the path names a regular file that can be opened for reading; the
// description says why not.
bool checkReadableFile(const std::string& path, std::string* error);

// Replaces the report's content with the file's, inside the caller's
// transaction, and records name, size and digest in the report's row.
bool storeReportFile(Database& db, int32_t reportId, const std::string& path, StoredFile* out,
                     std::string* error);

// Writes the report's stored content to a new file at destPath.
bool exportReportFile(Database& db, int32_t reportId, const std::string& destPath,
                      std::string* error);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_REPORT_CONTENT_H_
