// A report's file content in the repository: checked when it is attached,
// read ahead into a temporary file before the commit takes the repository's
// write lock, stored from there at commit in chunks of at most 1 MiB (so
// memory does not grow with the file), with its base name, size and SHA-256,
// and streamed out again for checks.
//
// Report files are opened and read without ever waiting (file_reader.h): only
// regular files are taken, and one that cannot be read at once is refused. No
// report file is read while the write lock is held, so a slow or blocking file
// never keeps another run waiting on the repository.
//
// Thread-safety: one Database per thread.
// Ownership: StagedFiles owns its temporary file, which goes with it.
#ifndef KORVA_REPORTSERVER_STORE_REPORT_CONTENT_H_
#define KORVA_REPORTSERVER_STORE_REPORT_CONTENT_H_

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/stdio_files.h"
#include "reportserver/store/sqlite_db.h"

namespace korva {

constexpr size_t kReportChunkBytes = 1024 * 1024;

struct StoredFile {
  std::string name;  // base name, UTF-8
  int64_t size = 0;
  std::string sha256;  // lower-case hex
};

// Whether the path (in the process's encoding) names a regular file that can
// be read at once; the description says why not.
bool checkReadableFile(const std::string& path, std::string* error);

// The report files of one commit, each read once, before the commit takes
// the write lock, into a temporary file of this process (with its name, size
// and digest); the commit stores them from there.
class StagedFiles {
 public:
  explicit StagedFiles(Database& db);
  ~StagedFiles();
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;

  // Reads the file ahead (once per path); to be called before the write
  // transaction begins.
  bool stage(const std::string& path, std::string* error);
  // Replaces the report's content with the staged file's, inside the caller's
  // transaction, and records name, size and digest in the report's row.
  bool store(int32_t reportId, const std::string& path, StoredFile* out, std::string* error);

 private:
  struct Staged {
    int64_t offset = 0;  // in the scratch file
    StoredFile file;
  };

  bool scratchFailure(std::string* error);

  Database& db_;
  StdioFile scratch_;                     // made at the first file
  std::vector<unsigned char> buffer_;     // one chunk
  std::map<std::string, Staged> staged_;  // by path
};

// Writes the report's stored content to a new file at destPath.
bool exportReportFile(Database& db, int32_t reportId, const std::string& destPath,
                      std::string* error);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_REPORT_CONTENT_H_
