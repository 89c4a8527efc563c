// Checking, staging and storing report files, and streaming them out again.
#include "reportserver/store/report_content.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/content_digest.h"
#include "platform/file_reader.h"
#include "platform/filesys.h"
#include "platform/server_home_default.h"
#include "platform/stdio_files.h"
#include "reportserver/text/local_path.h"

namespace korva {
namespace {

std::string baseName(const std::string& path) {
  size_t slash = path.size();
  while (slash > 0 && !isLocalPathSeparator(path[slash - 1])) --slash;
  return path.substr(slash);
}

bool fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

// Opens a report file without waiting and takes regular files only.
bool openReportFile(const std::string& path, std::unique_ptr<FileReader>* reader,
                    std::string* error) {
  if (path.empty()) return fail(error, "No report file was named.");
  int err = fileOpener().open(path, reader);
  if (err != 0) {
    return fail(error, "Cannot open the report file \"" + localPathAsUtf8(path) +
                           "\": " + errorText(err) + ".");
  }
  switch ((*reader)->kind()) {
    case FileKind::Regular:
      return true;
    case FileKind::Directory:
      return fail(error, "Cannot attach \"" + localPathAsUtf8(path) +
                             "\" to the report: it is a folder, not a file.");
    case FileKind::Other:
      break;
  }
  return fail(error, "Cannot attach \"" + localPathAsUtf8(path) +
                         "\" to the report: it is not a regular file.");
}

// Fills the buffer as far as the file goes (*got < size: the end was
// reached); a file that has nothing to give at once is refused.
bool readChunk(FileReader& reader, const std::string& path, unsigned char* buffer, size_t size,
               size_t* got, std::string* error) {
  *got = 0;
  while (*got < size) {
    size_t n = 0;
    int err = reader.read(buffer + *got, size - *got, &n);
    if (err == EAGAIN) {
      return fail(error, "Cannot attach \"" + localPathAsUtf8(path) +
                             "\" to the report: it cannot be read without waiting.");
    }
    if (err != 0) {
      return fail(error, "Cannot read the report file \"" + localPathAsUtf8(path) +
                             "\": " + errorText(err) + ".");
    }
    if (n == 0) break;
    *got += n;
  }
  return true;
}

}  // namespace

bool checkReadableFile(const std::string& path, std::string* error) {
  std::unique_ptr<FileReader> reader;
  if (!openReportFile(path, &reader, error)) return false;
  unsigned char probe[1];
  size_t got = 0;
  return readChunk(*reader, path, probe, sizeof probe, &got, error);
}

StagedFiles::StagedFiles(Database& db) : db_(db) {}

StagedFiles::~StagedFiles() = default;

bool StagedFiles::stage(const std::string& path, std::string* error) {
  if (staged_.count(path)) return true;
  if (!scratch_) {
    // Unnamed, for this process alone, and gone when closed.
    int err = 0;
    scratch_ = openScratchFile(&err);
    if (!scratch_) {
      return fail(error, "Cannot read the report files ahead of the commit: no temporary file (" +
                             errorText(err) + ").");
    }
    buffer_.resize(kReportChunkBytes);
  }
  std::unique_ptr<FileReader> reader;
  if (!openReportFile(path, &reader, error)) return false;
  Sha256Digest digest;
  if (!digest.valid()) {
    return fail(error, "Cannot compute the digest of \"" + localPathAsUtf8(path) + "\".");
  }
  Staged staged;
  if (seekFile(scratch_.get(), 0, SEEK_END) != 0) return scratchFailure(error);
  staged.offset = tellFile(scratch_.get());
  if (staged.offset < 0) return scratchFailure(error);
  while (true) {
    size_t n = 0;
    if (!readChunk(*reader, path, buffer_.data(), buffer_.size(), &n, error)) return false;
    if (n > 0) {
      if (!digest.update(buffer_.data(), n)) {
        return fail(error, "Cannot compute the digest of \"" + localPathAsUtf8(path) + "\".");
      }
      if (std::fwrite(buffer_.data(), 1, n, scratch_.get()) != n) return scratchFailure(error);
      staged.file.size += static_cast<int64_t>(n);
    }
    if (n < buffer_.size()) break;
  }
  staged.file.sha256 = digest.finishHex();
  if (staged.file.sha256.empty()) {
    return fail(error, "Cannot compute the digest of \"" + localPathAsUtf8(path) + "\".");
  }
  staged.file.name = baseName(localPathAsUtf8(path));
  staged_.emplace(path, staged);
  return true;
}

bool StagedFiles::scratchFailure(std::string* error) {
  return fail(error, "Cannot keep the report files ahead of the commit in a temporary file: " +
                         errorText(errno) + ".");
}

bool StagedFiles::store(int32_t reportId, const std::string& path, StoredFile* out,
                        std::string* error) {
  auto it = staged_.find(path);
  if (it == staged_.end()) {
    return fail(
        error, "The report file \"" + localPathAsUtf8(path) + "\" was not read before the commit.");
  }
  const Staged& staged = it->second;
  {
    Statement del(db_, "DELETE FROM report_chunks WHERE report_id = ?1");
    del.bind(1, static_cast<int64_t>(reportId));
    if (!del.run()) {
      return fail(error, "Cannot replace the content of report " + std::to_string(reportId) + ": " +
                             db_.lastMessage() + ".");
    }
  }
  // The copy read ahead, not the report file: nothing here can wait on it.
  if (std::fflush(scratch_.get()) != 0 || seekFile(scratch_.get(), staged.offset, SEEK_SET) != 0) {
    return scratchFailure(error);
  }
  Statement insert(db_, "INSERT INTO report_chunks(report_id, seq, data) VALUES(?1, ?2, ?3)");
  int64_t left = staged.file.size;
  int64_t seq = 0;
  while (left > 0) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(left, buffer_.size()));
    if (std::fread(buffer_.data(), 1, want, scratch_.get()) != want) return scratchFailure(error);
    insert.reset();
    insert.bind(1, static_cast<int64_t>(reportId));
    insert.bind(2, seq++);
    insert.bindBlobStatic(3, buffer_.data(), static_cast<int>(want));
    if (!insert.run()) {
      return fail(error, "Cannot store the content of \"" + localPathAsUtf8(path) +
                             "\": " + db_.lastMessage() + ".");
    }
    left -= static_cast<int64_t>(want);
  }
  Statement update(db_,
                   "UPDATE reports SET file_name = ?1, file_size = ?2, file_sha256 = ?3"
                   " WHERE id = ?4");
  update.bind(1, staged.file.name);
  update.bind(2, staged.file.size);
  update.bind(3, staged.file.sha256);
  update.bind(4, static_cast<int64_t>(reportId));
  if (!update.run()) {
    return fail(error, "Cannot record the file of report " + std::to_string(reportId) + ": " +
                           db_.lastMessage() + ".");
  }
  if (out) *out = staged.file;
  return true;
}

bool exportReportFile(Database& db, int32_t reportId, const std::string& destPath,
                      std::string* error) {
  int err = 0;
  StdioFile f = createNewFile(destPath, false, &err);
  if (!f) {
    if (error) *error = "Cannot create \"" + destPath + "\": " + errorText(err) + ".";
    return false;
  }
  Statement st(db, "SELECT data FROM report_chunks WHERE report_id = ?1 ORDER BY seq");
  st.bind(1, static_cast<int64_t>(reportId));
  int rc;
  while ((rc = st.step()) == SQLITE_ROW) {
    int size = 0;
    const void* data = st.columnBlob(0, &size);
    if (size > 0 &&
        std::fwrite(data, 1, static_cast<size_t>(size), f.get()) != static_cast<size_t>(size)) {
      if (error) *error = "Cannot write \"" + destPath + "\": " + errorText(errno) + ".";
      return false;
    }
  }
  if (rc != SQLITE_DONE) {
    if (error)
      *error = "Cannot read the content of report " + std::to_string(reportId) + ": " +
               db.lastMessage() + ".";
    return false;
  }
  if (std::fflush(f.get()) != 0) {
    if (error) *error = "Cannot write \"" + destPath + "\": " + errorText(errno) + ".";
    return false;
  }
  return true;
}

}  // namespace korva
