// Checking report files, staging them, giving them to reports, and streaming
// them out again.
#include "reportserver/store/report_content.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/content_digest.h"
#include "platform/file_reader.h"
#include "platform/filesys.h"
#include "platform/server_home_default.h"
#include "platform/stdio_files.h"
#include "reportserver/store/loose_contents.h"
#include "reportserver/store/object_change.h"
#include "reportserver/store/report_file_reading.h"
#include "reportserver/testing/fault_injection.h"
#include "reportserver/text/local_path.h"

namespace korva {
namespace {

bool fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

// A file on disk by its path; one sent with the commit by where its bytes
// are (two sent files may have the same name).
std::string stagingKey(const PendingChanges& change) {
  if (!change.fileBytes) return *change.filePath;
  return std::string(1, '\0') +
         std::to_string(reinterpret_cast<uintptr_t>(change.fileBytes->data())) + "+" +
         std::to_string(change.fileBytes->size()) + "/" + *change.filePath;
}

}  // namespace

StagedFiles::StagedFiles(Database& db) : db_(db) {}

StagedFiles::~StagedFiles() {
  removeLooseContents(db_, mark_ ? mark_->token() : std::string());
  mark_.reset();  // last: what it left is gone, or is found under its token
}

bool StagedFiles::beginStaging(std::string* error) {
  if (mark_) return true;
  mark_ = StagingMark::make(db_.path(), error);
  if (!mark_) return false;
  // Not zero-filled: only what a file fills is ever read back.
  buffer_.reset(new unsigned char[kReportChunkBytes]);
  // Leftovers of stagings that ended without removing them, before this one
  // adds its own.
  removeLooseContents(db_, mark_->token());
  removeLeftMarks(db_.path(), mark_->token());
  return true;
}

bool StagedFiles::stage(const PendingChanges& change, std::string* error) {
  const std::string& path = *change.filePath;
  const std::string key = stagingKey(change);
  if (staged_.count(key)) return true;
  std::unique_ptr<FileReader> reader;
  if (change.fileBytes) {
    reader = bytesReader(*change.fileBytes);
  } else if (!openReportFile(path, &reader, error)) {
    return false;
  }
  if (!beginStaging(error)) return false;
  Sha256Digest digest;
  if (!digest.valid()) {
    return fail(error, "Cannot compute the digest of \"" + localPathAsUtf8(path) + "\".");
  }
  Staged staged;
  UnsyncedCommits unsynced(db_);
  for (int64_t seq = 0;; ++seq) {
    // Read with no transaction open: the file may be slow.
    size_t n = 0;
    if (!readChunk(*reader, path, buffer_.get(), kReportChunkBytes, &n, error)) return false;
    if (n > 0 && !digest.update(buffer_.get(), n)) {
      return fail(error, "Cannot compute the digest of \"" + localPathAsUtf8(path) + "\".");
    }
    staged.file.size += static_cast<int64_t>(n);
    const bool last = n < kReportChunkBytes;
    if (last) {
      staged.file.sha256 = digest.finishHex();
      if (staged.file.sha256.empty()) {
        return fail(error, "Cannot compute the digest of \"" + localPathAsUtf8(path) + "\".");
      }
    }
    if (!writeChunk(&staged, seq, n, last, path, error)) return false;
    if (last) break;
  }
  staged.file.name = localBaseName(localPathAsUtf8(path));
  staged_.emplace(key, staged);
  return true;
}

bool StagedFiles::writeChunk(Staged* staged, int64_t seq, size_t size, bool last,
                             const std::string& path, std::string* error) {
  if (injectFault("stageReportContent")) {
    return fail(error, "Injected fault in stageReportContent.");
  }
  const std::string what = "Cannot stage the content of \"" + localPathAsUtf8(path) + "\": ";
  Transaction tx(db_);
  std::string message;
  if (!tx.begin(&message)) return fail(error, what + message + ".");
  if (staged->contentId == 0) {
    Statement content(db_, "INSERT INTO contents(size) VALUES(NULL) RETURNING id");
    if (content.step() != SQLITE_ROW) return fail(error, what + db_.lastMessage() + ".");
    const int64_t id = content.columnInt(0);
    if (content.step() != SQLITE_DONE) return fail(error, what + db_.lastMessage() + ".");
    Statement loose(db_, "INSERT INTO loose_contents(content_id, staging) VALUES(?1, ?2)");
    loose.bind(1, id);
    loose.bind(2, mark_->token());
    if (!loose.run()) return fail(error, what + db_.lastMessage() + ".");
    staged->contentId = id;
  } else {
    // Written only while still listed under this staging.
    Statement owned(db_, "SELECT 1 FROM loose_contents WHERE content_id = ?1 AND staging = ?2");
    owned.bind(1, staged->contentId);
    owned.bind(2, mark_->token());
    if (owned.step() != SQLITE_ROW) return fail(error, what + "the staged content is gone.");
  }
  if (size > 0) {
    Statement chunk(db_, "INSERT INTO content_chunks(content_id, seq, data) VALUES(?1, ?2, ?3)");
    chunk.bind(1, staged->contentId);
    chunk.bind(2, seq);
    chunk.bindBlobStatic(3, buffer_.get(), static_cast<int>(size));
    if (!chunk.run()) return fail(error, what + db_.lastMessage() + ".");
  }
  if (last) {
    Statement complete(db_, "UPDATE contents SET size = ?1, sha256 = ?2 WHERE id = ?3");
    complete.bind(1, staged->file.size);
    complete.bind(2, staged->file.sha256);
    complete.bind(3, staged->contentId);
    if (!complete.run()) return fail(error, what + db_.lastMessage() + ".");
  }
  if (!tx.commit(&message)) return fail(error, what + message + ".");
  return true;
}

bool StagedFiles::store(int32_t reportId, const PendingChanges& change, StoredFile* out,
                        std::string* error) {
  const std::string& path = *change.filePath;
  auto it = staged_.find(stagingKey(change));
  if (it == staged_.end()) {
    return fail(
        error, "The report file \"" + localPathAsUtf8(path) + "\" was not read before the commit.");
  }
  const Staged& staged = it->second;
  const std::string what = "Cannot store the content of \"" + localPathAsUtf8(path) + "\": ";
  // Taken from the staging (a second report given the same file finds it
  // taken already), and still there.
  {
    Statement take(db_, "DELETE FROM loose_contents WHERE content_id = ?1 AND staging = ?2");
    take.bind(1, staged.contentId);
    take.bind(2, mark_->token());
    if (!take.run()) return fail(error, what + db_.lastMessage() + ".");
    Statement check(db_, "SELECT size FROM contents WHERE id = ?1");
    check.bind(1, staged.contentId);
    const int rc = check.step();
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) return fail(error, what + db_.lastMessage() + ".");
    if (rc == SQLITE_DONE || check.columnIsNull(0) || check.columnInt(0) != staged.file.size) {
      return fail(error, what + "the staged content is gone.");
    }
  }
  int64_t before = 0;  // the content it lets go of
  {
    Statement st(db_, "SELECT content_id FROM reports WHERE id = ?1");
    st.bind(1, static_cast<int64_t>(reportId));
    if (st.step() == SQLITE_ROW && !st.columnIsNull(0)) before = st.columnInt(0);
  }
  Statement update(db_,
                   "UPDATE reports SET file_name = ?1, file_size = ?2, file_sha256 = ?3,"
                   " content_id = ?4 WHERE id = ?5");
  update.bind(1, staged.file.name);
  update.bind(2, staged.file.size);
  update.bind(3, staged.file.sha256);
  update.bind(4, staged.contentId);
  update.bind(5, static_cast<int64_t>(reportId));
  if (!update.run()) {
    return fail(error, "Cannot record the file of report " + std::to_string(reportId) + ": " +
                           db_.lastMessage() + ".");
  }
  if (before != 0 && before != staged.contentId && !removeSmallContentLetGo(db_, before)) {
    return fail(error, "Cannot replace the content of report " + std::to_string(reportId) + ": " +
                           db_.lastMessage() + ".");
  }
  if (out) *out = staged.file;
  return true;
}

ReportFileRead readReportFile(Database& db, int32_t reportId, ReportFileSink& sink,
                              std::string* error) {
  auto readFailed = [&] {
    if (error) {
      *error = "Cannot read the content of report " + std::to_string(reportId) + ": " +
               db.lastMessage() + ".";
    }
    return ReportFileRead::Failed;
  };
  StoredFile file;
  {
    Statement st(db,
                 "SELECT file_name, file_size, file_sha256 FROM reports"
                 " WHERE id = ?1 AND file_name IS NOT NULL AND content_id IS NOT NULL");
    st.bind(1, static_cast<int64_t>(reportId));
    const int rc = st.step();
    if (rc == SQLITE_DONE) return ReportFileRead::NoFile;
    if (rc != SQLITE_ROW) return readFailed();
    file.name = st.columnText(0);
    file.size = st.columnInt(1);
    file.sha256 = st.columnText(2);
  }
  if (!sink.begin(file)) return ReportFileRead::Stopped;
  Statement st(db,
               "SELECT c.data FROM reports r JOIN content_chunks c ON c.content_id = r.content_id"
               " WHERE r.id = ?1 ORDER BY c.seq");
  st.bind(1, static_cast<int64_t>(reportId));
  int rc;
  while ((rc = st.step()) == SQLITE_ROW) {
    int size = 0;
    const void* data = st.columnBlob(0, &size);
    if (size > 0 && !sink.write(data, static_cast<size_t>(size))) return ReportFileRead::Stopped;
  }
  return rc == SQLITE_DONE ? ReportFileRead::Done : readFailed();
}

namespace {

// Writes what it is given to a stdio file, remembering the first error.
class FileWritingSink : public ReportFileSink {
 public:
  explicit FileWritingSink(std::FILE* f) : f_(f) {}
  bool begin(const StoredFile&) override { return true; }
  bool write(const void* data, size_t size) override {
    if (std::fwrite(data, 1, size, f_) == size) return true;
    err_ = errno;
    return false;
  }
  int err() const { return err_; }

 private:
  std::FILE* f_;
  int err_ = 0;
};

}  // namespace

bool exportReportFile(Database& db, int32_t reportId, const std::string& destPath,
                      std::string* error) {
  int err = 0;
  StdioFile f = createNewFile(destPath, false, &err);
  if (!f) return fail(error, "Cannot create \"" + destPath + "\": " + errorText(err) + ".");
  Transaction tx(db);
  std::string message;
  if (!tx.begin(&message)) {
    return fail(error, "Cannot read the content of report " + std::to_string(reportId) + ": " +
                           message + ".");
  }
  FileWritingSink sink(f.get());
  switch (readReportFile(db, reportId, sink, error)) {
    case ReportFileRead::Done:
    case ReportFileRead::NoFile:
      break;
    case ReportFileRead::Stopped:
      return fail(error, "Cannot write \"" + destPath + "\": " + errorText(sink.err()) + ".");
    case ReportFileRead::Failed:
      return false;
  }
  if (std::fflush(f.get()) != 0) {
    return fail(error, "Cannot write \"" + destPath + "\": " + errorText(errno) + ".");
  }
  return true;
}

}  // namespace korva
