// Checking, staging and storing report files, and streaming them out again.
#include "reportserver/report_content.h"

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
#include "reportserver/fault_injection.h"
#include "reportserver/local_path.h"

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

namespace {

// Band b holds the chunks with seq b<<32 up to (b+1)<<32.
constexpr int kBandShift = 32;
int64_t firstSeqOf(int64_t band) { return band << kBandShift; }

bool sqlFailure(Database& db, std::string* error, const std::string& what) {
  return fail(error, what + ": " + db.lastMessage() + ".");
}

// The settings of the connection while it stages or purges. Those writes
// need not wait for the disk: staged chunks become content only through a
// commit, whose full sync covers every earlier write of the log, and a purge
// only removes what no reader takes. A new report's chunks come before its
// row, so foreign keys are left unchecked meanwhile (only chunks are written).
class StagingMode {
 public:
  explicit StagingMode(Database& db) : db_(db) {
    db_.exec("PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=OFF", nullptr);
  }
  ~StagingMode() { db_.exec("PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON", nullptr); }
  StagingMode(const StagingMode&) = delete;
  StagingMode& operator=(const StagingMode&) = delete;

 private:
  Database& db_;
};

// A chunk is about to be written: the point where tests look at the lock.
bool chunkMayBeWritten(std::string* error) {
  if (injectFault("writeReportChunk")) return fail(error, "Injected fault in writeReportChunk.");
  return true;
}

bool insertChunk(Database& db, int32_t reportId, int64_t seq, const unsigned char* data,
                 size_t size, const std::string& path, std::string* error) {
  Statement insert(db, "INSERT INTO report_chunks(report_id, seq, data) VALUES(?1, ?2, ?3)");
  insert.bind(1, static_cast<int64_t>(reportId));
  insert.bind(2, seq);
  insert.bindBlobStatic(3, data, static_cast<int>(size));
  if (!insert.run()) {
    return sqlFailure(db, error, "Cannot store the content of \"" + localPathAsUtf8(path) + "\"");
  }
  return true;
}

bool digestFailure(const std::string& path, std::string* error) {
  return fail(error, "Cannot compute the digest of \"" + localPathAsUtf8(path) + "\".");
}

// Chunks of left-over content removed per transaction of the purge.
constexpr int kPurgeChunks = 16;

}  // namespace

StagedFiles::StagedFiles(Database& db) : db_(db) {}

StagedFiles::~StagedFiles() {
  bool anyBand = false;
  for (const auto& entry : staged_) anyBand = anyBand || entry.second.band >= 0;
  if (anyBand) {
    // A band the commit did not make content (it failed, or never came) is
    // left over; one it did has no entry any more.
    StagingMode mode(db_);
    Transaction tx(db_);
    if (tx.begin(nullptr)) {
      Statement st(db_, "UPDATE content_bands SET staged = 0 WHERE report_id = ?1 AND band = ?2");
      for (const auto& entry : staged_) {
        if (entry.second.band < 0) continue;
        st.reset();
        st.bind(1, static_cast<int64_t>(entry.second.reportId));
        st.bind(2, entry.second.band);
        st.run();
      }
      tx.commit(nullptr);
    }
    leftOver_ = true;
  }
  if (leftOver_) purge();
}

bool StagedFiles::nextBand(int64_t* band, std::string* error) {
  Statement st(db_,
               "UPDATE settings SET value = CAST(value AS INTEGER) + 1"
               " WHERE key = 'next_content_band' RETURNING CAST(value AS INTEGER) - 1");
  if (st.step() != SQLITE_ROW) return sqlFailure(db_, error, "Cannot number the report content");
  *band = st.columnInt(0);
  return st.step() == SQLITE_DONE || sqlFailure(db_, error, "Cannot number the report content");
}

bool StagedFiles::beginBand(Staged* staged, std::string* error) {
  Transaction tx(db_);
  std::string message;
  if (!tx.begin(&message)) return fail(error, "Cannot stage the report content: " + message + ".");
  if (staged->reportId == 0) {
    Statement st(db_, "UPDATE id_sequence SET next_id = next_id + 1 RETURNING next_id - 1");
    if (st.step() != SQLITE_ROW) return sqlFailure(db_, error, "Cannot allocate an id");
    const int64_t id = st.columnInt(0);
    if (id < 1 || id > INT32_MAX) return fail(error, "The repository has run out of object ids.");
    if (st.step() != SQLITE_DONE) return sqlFailure(db_, error, "Cannot allocate an id");
    staged->reservedId = static_cast<int32_t>(id);
    staged->reportId = staged->reservedId;
  }
  int64_t band = 0;
  if (!nextBand(&band, error)) return false;
  Statement st(db_, "INSERT INTO content_bands(report_id, band, staged) VALUES(?1, ?2, 1)");
  st.bind(1, static_cast<int64_t>(staged->reportId));
  st.bind(2, band);
  if (!st.run()) return sqlFailure(db_, error, "Cannot stage the report content");
  if (!tx.commit(&message)) return fail(error, "Cannot stage the report content: " + message + ".");
  staged->band = band;
  return true;
}

bool StagedFiles::writeStagedChunk(const Staged& staged, int64_t seq, const unsigned char* data,
                                   size_t size, const std::string& path, std::string* error) {
  if (!chunkMayBeWritten(error)) return false;
  Transaction tx(db_);
  std::string message;
  if (!tx.begin(&message) || !insertChunk(db_, staged.reportId, seq, data, size, path, error) ||
      !tx.commit(&message)) {
    if (!message.empty()) *error = "Cannot stage the report content: " + message + ".";
    return false;
  }
  return true;
}

bool StagedFiles::stage(const void* key, int32_t reportId, const std::string& path,
                        std::string* error) {
  staged_.erase(key);
  std::unique_ptr<FileReader> reader;
  if (!openReportFile(path, &reader, error)) return false;
  Sha256Digest digest;
  if (!digest.valid()) return digestFailure(path, error);
  Staged& staged = staged_[key];
  staged.reportId = reportId;
  staged.file.name = baseName(localPathAsUtf8(path));
  // The first chunk is kept for the commit; when more follows, the whole
  // content is staged in a band of its own.
  staged.data.resize(kReportChunkBytes);
  size_t got = 0;
  if (!readChunk(*reader, path, staged.data.data(), staged.data.size(), &got, error)) return false;
  staged.data.resize(got);
  buffer_.resize(kReportChunkBytes);
  size_t more = 0;
  if (got == kReportChunkBytes &&
      !readChunk(*reader, path, buffer_.data(), buffer_.size(), &more, error)) {
    return false;
  }
  if (got > 0 && !digest.update(staged.data.data(), got)) return digestFailure(path, error);
  staged.file.size = static_cast<int64_t>(got);
  if (more > 0) {
    StagingMode mode(db_);
    if (!beginBand(&staged, error)) return false;
    int64_t seq = firstSeqOf(staged.band);
    if (!writeStagedChunk(staged, seq++, staged.data.data(), got, path, error)) return false;
    std::vector<unsigned char>().swap(staged.data);
    while (more > 0) {
      if (!digest.update(buffer_.data(), more)) return digestFailure(path, error);
      if (!writeStagedChunk(staged, seq++, buffer_.data(), more, path, error)) return false;
      staged.file.size += static_cast<int64_t>(more);
      if (more < buffer_.size()) break;
      if (!readChunk(*reader, path, buffer_.data(), buffer_.size(), &more, error)) return false;
    }
  }
  staged.file.sha256 = digest.finishHex();
  if (staged.file.sha256.empty()) return digestFailure(path, error);
  return true;
}

int32_t StagedFiles::reservedId(const void* key) const {
  auto it = staged_.find(key);
  return it == staged_.end() ? 0 : it->second.reservedId;
}

bool StagedFiles::dropFormerContent(int32_t reportId, std::string* error) {
  std::vector<int64_t> bands;
  {
    Statement st(db_,
                 "SELECT DISTINCT c.seq >> 32 FROM report_chunks c WHERE c.report_id = ?1"
                 " AND NOT EXISTS (SELECT 1 FROM content_bands b WHERE b.report_id = c.report_id"
                 " AND b.band = c.seq >> 32)");
    st.bind(1, static_cast<int64_t>(reportId));
    int rc;
    while ((rc = st.step()) == SQLITE_ROW) bands.push_back(st.columnInt(0));
    if (rc != SQLITE_DONE) return sqlFailure(db_, error, "Cannot read the report's content");
  }
  const std::string replacing = "Cannot replace the content of report " + std::to_string(reportId);
  for (int64_t band : bands) {
    Statement count(db_,
                    "SELECT COUNT(*) FROM report_chunks WHERE report_id = ?1 AND seq >= ?2"
                    " AND seq < ?3");
    count.bind(1, static_cast<int64_t>(reportId));
    count.bind(2, firstSeqOf(band));
    count.bind(3, firstSeqOf(band + 1));
    if (count.step() != SQLITE_ROW) return sqlFailure(db_, error, replacing);
    if (count.columnInt(0) <= 1) {
      // Small: gone at once, with the commit.
      Statement del(db_,
                    "DELETE FROM report_chunks WHERE report_id = ?1 AND seq >= ?2 AND seq < ?3");
      del.bind(1, static_cast<int64_t>(reportId));
      del.bind(2, firstSeqOf(band));
      del.bind(3, firstSeqOf(band + 1));
      if (!del.run()) return sqlFailure(db_, error, replacing);
      continue;
    }
    Statement left(db_,
                   "INSERT INTO content_bands(report_id, band, staged) VALUES(?1, ?2, 0)"
                   " ON CONFLICT(report_id, band) DO UPDATE SET staged = 0");
    left.bind(1, static_cast<int64_t>(reportId));
    left.bind(2, band);
    if (!left.run()) return sqlFailure(db_, error, replacing);
    leftOver_ = true;
  }
  return true;
}

bool StagedFiles::store(const void* key, int32_t reportId, StoredFile* out, std::string* error) {
  auto it = staged_.find(key);
  if (it == staged_.end()) {
    return fail(error, "The file of report " + std::to_string(reportId) +
                           " was not read before the commit.");
  }
  const Staged& staged = it->second;
  if (!dropFormerContent(reportId, error)) return false;
  if (staged.band >= 0) {
    Statement take(db_, "DELETE FROM content_bands WHERE report_id = ?1 AND band = ?2");
    take.bind(1, static_cast<int64_t>(reportId));
    take.bind(2, staged.band);
    if (!take.run())
      return sqlFailure(db_, error,
                        "Cannot store the content of report " + std::to_string(reportId));
    if (sqlite3_changes(db_.handle()) != 1) {
      return fail(error, "The content staged for report " + std::to_string(reportId) +
                             " is gone; attach the file again.");
    }
  } else if (!staged.data.empty()) {
    int64_t band = 0;
    if (!chunkMayBeWritten(error) || !nextBand(&band, error) ||
        !insertChunk(db_, reportId, firstSeqOf(band), staged.data.data(), staged.data.size(),
                     staged.file.name, error)) {
      return false;
    }
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

void StagedFiles::purge() {
  std::vector<std::pair<int64_t, int64_t>> left;  // report, band
  {
    Statement st(db_, "SELECT report_id, band FROM content_bands WHERE staged = 0");
    while (st.step() == SQLITE_ROW) left.emplace_back(st.columnInt(0), st.columnInt(1));
  }
  if (left.empty()) return;
  // A few chunks per transaction: no one waits long for the write lock.
  StagingMode mode(db_);
  for (const auto& [reportId, band] : left) {
    while (true) {
      Transaction tx(db_);
      if (!tx.begin(nullptr)) return;  // the next purge goes on
      Statement del(db_,
                    "DELETE FROM report_chunks WHERE rowid IN (SELECT rowid FROM report_chunks"
                    " WHERE report_id = ?1 AND seq >= ?2 AND seq < ?3 LIMIT ?4)");
      del.bind(1, reportId);
      del.bind(2, firstSeqOf(band));
      del.bind(3, firstSeqOf(band + 1));
      del.bind(4, static_cast<int64_t>(kPurgeChunks));
      if (!del.run()) return;
      const bool done = sqlite3_changes(db_.handle()) == 0;
      if (done) {
        Statement entry(db_,
                        "DELETE FROM content_bands WHERE report_id = ?1 AND band = ?2"
                        " AND staged = 0");
        entry.bind(1, reportId);
        entry.bind(2, band);
        if (!entry.run()) return;
      }
      if (!tx.commit(nullptr) || done) break;
    }
  }
}

bool exportReportFile(Database& db, int32_t reportId, const std::string& destPath,
                      std::string* error) {
  int err = 0;
  StdioFile f = createNewFile(destPath, false, &err);
  if (!f) {
    if (error) *error = "Cannot create \"" + destPath + "\": " + errorText(err) + ".";
    return false;
  }
  Statement st(db,
               "SELECT c.data FROM report_chunks c WHERE c.report_id = ?1 AND NOT EXISTS"
               " (SELECT 1 FROM content_bands b WHERE b.report_id = c.report_id"
               " AND b.band = c.seq >> 32) ORDER BY c.seq");
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
