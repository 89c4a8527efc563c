// A report's file content in the repository: checked when it is attached,
// staged into the repository before the commit, in chunks of at most 1 MiB
// (so memory does not grow with the file), one short transaction per chunk;
// the commit then only gives the report the staged content, with its base
// name, size and SHA-256. Streamed out again for checks.
//
// The write lock is held for one chunk at a time while a file is staged, and
// for the commit, which writes no content (and removes at most one chunk of
// a content its report lets go of): a large file never keeps another session
// waiting long on the repository. Until a commit takes it, a staged content
// is listed loose under the mark of its staging (staging_mark.h), seen by no
// report; what no commit took, and larger contents let go of, are removed
// after the commit, a few chunks per transaction (loose_contents.h).
//
// Report files are opened and read without ever waiting (file_reader.h): only
// regular files are taken, and one that cannot be read at once is refused. No
// report file is read while the write lock is held, so a slow or blocking file
// never keeps another run waiting on the repository.
//
// Thread-safety: one Database per thread.
// Ownership: StagedFiles owns its staging's mark and the contents it staged
// until a commit takes them.
#ifndef KORVA_REPORTSERVER_STORE_REPORT_CONTENT_H_
#define KORVA_REPORTSERVER_STORE_REPORT_CONTENT_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "reportserver/store/report_file_sink.h"
#include "reportserver/store/sqlite_db.h"
#include "reportserver/store/staging_mark.h"

namespace korva {

struct PendingChanges;

constexpr size_t kReportChunkBytes = 1024 * 1024;

// The report files of one commit, each read once and staged as a content
// before the commit (with its name, size and digest); the commit gives them
// to their reports.
class StagedFiles {
 public:
  explicit StagedFiles(Database& db);
  // Removes, in transactions of its own, what it staged that no commit took
  // and what reports let go of meanwhile; to be destroyed once the commit's
  // transaction has ended.
  ~StagedFiles();
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;

  // Reads the change's file (from disk, or the bytes sent with the commit)
  // and stages it (once per file); to be called before the write
  // transaction begins. The first file also removes what stagings that
  // have ended left behind.
  bool stage(const PendingChanges& change, std::string* error);
  // Gives the report the staged file's content, inside the caller's
  // transaction, and records name, size and digest in the report's row; the
  // content it had is let go of.
  bool store(int32_t reportId, const PendingChanges& change, StoredFile* out, std::string* error);

 private:
  struct Staged {
    int64_t contentId = 0;
    StoredFile file;
  };

  bool beginStaging(std::string* error);
  // Writes one chunk (the last one: with the size and digest) in a
  // transaction of its own.
  bool writeChunk(Staged* staged, int64_t seq, size_t size, bool last, const std::string& path,
                  std::string* error);

  Database& db_;
  std::unique_ptr<StagingMark> mark_;        // made at the first file
  std::unique_ptr<unsigned char[]> buffer_;  // one chunk, not zero-filled
  std::map<std::string, Staged> staged_;     // by stagingKey()
};

// What reading a report's file came to.
enum class ReportFileRead {
  Done,
  NoFile,   // no report with that id, or one without a file
  Stopped,  // the sink said stop
  Failed,   // the repository could not be read: *error says why
};

// Hands the report's stored file to the sink. To be called inside the
// caller's transaction, so that name, size and bytes agree.
ReportFileRead readReportFile(Database& db, int32_t reportId, ReportFileSink& sink,
                              std::string* error);

// Writes the report's stored content to a new file at destPath.
bool exportReportFile(Database& db, int32_t reportId, const std::string& destPath,
                      std::string* error);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_REPORT_CONTENT_H_
