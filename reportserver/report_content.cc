// Checking, staging and storing report files, and streaming them out again.
#include "reportserver/report_content.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/file_reader.h"
#include "platform/filesys.h"
#include "reportserver/local_path.h"

namespace korva {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

struct DigestFree {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

std::string baseName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
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

std::string hexOf(const unsigned char* bytes, unsigned int length) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex.push_back(digits[bytes[i] >> 4]);
    hex.push_back(digits[bytes[i] & 15]);
  }
  return hex;
}

}  // namespace

bool checkReadableFile(const std::string& path, std::string* error) {
  std::unique_ptr<FileReader> reader;
  if (!openReportFile(path, &reader, error)) return false;
  unsigned char probe[1];
  size_t got = 0;
  return readChunk(*reader, path, probe, sizeof probe, &got, error);
}

StagedFiles::~StagedFiles() {
  if (used_) db_.exec("DELETE FROM temp.staged_chunks", nullptr);
}

bool StagedFiles::stage(const std::string& path, std::string* error) {
  if (staged_.count(path)) return true;
  if (!used_) {
    // The temporary table is the connection's own: writing it takes no lock
    // on the repository. Rows a failed clean-up left behind go first.
    std::string message;
    if (!db_.exec("CREATE TEMP TABLE IF NOT EXISTS staged_chunks(stage INTEGER NOT NULL,"
                  " seq INTEGER NOT NULL, data BLOB NOT NULL);"
                  " DELETE FROM temp.staged_chunks;",
                  &message)) {
      return fail(error, "Cannot prepare the staging of report files: " + message + ".");
    }
    used_ = true;
  }
  std::unique_ptr<FileReader> reader;
  if (!openReportFile(path, &reader, error)) return false;
  std::unique_ptr<EVP_MD_CTX, DigestFree> digest(EVP_MD_CTX_new());
  if (!digest || EVP_DigestInit_ex(digest.get(), EVP_sha256(), nullptr) != 1) {
    return fail(error, "Cannot compute the digest of \"" + localPathAsUtf8(path) + "\".");
  }
  const int64_t stage = static_cast<int64_t>(staged_.size()) + 1;
  std::vector<unsigned char> buffer(kReportChunkBytes);
  Statement insert(db_, "INSERT INTO temp.staged_chunks(stage, seq, data) VALUES(?1, ?2, ?3)");
  int64_t size = 0;
  int64_t seq = 0;
  while (true) {
    size_t n = 0;
    if (!readChunk(*reader, path, buffer.data(), buffer.size(), &n, error)) return false;
    if (n > 0) {
      EVP_DigestUpdate(digest.get(), buffer.data(), n);
      insert.reset();
      insert.bind(1, stage);
      insert.bind(2, seq++);
      insert.bindBlobStatic(3, buffer.data(), static_cast<int>(n));
      if (!insert.run()) {
        return fail(error, "Cannot stage the content of \"" + localPathAsUtf8(path) +
                               "\": " + db_.lastMessage() + ".");
      }
      size += static_cast<int64_t>(n);
    }
    if (n < buffer.size()) break;
  }
  unsigned char hash[EVP_MAX_MD_SIZE];
  unsigned int hashLen = 0;
  EVP_DigestFinal_ex(digest.get(), hash, &hashLen);
  Staged staged;
  staged.stage = stage;
  staged.file.name = baseName(localPathAsUtf8(path));
  staged.file.size = size;
  staged.file.sha256 = hexOf(hash, hashLen);
  staged_.emplace(path, staged);
  return true;
}

bool StagedFiles::store(int32_t reportId, const std::string& path, StoredFile* out,
                        std::string* error) {
  auto it = staged_.find(path);
  if (it == staged_.end()) {
    return fail(error, "The report file \"" + localPathAsUtf8(path) +
                           "\" was not read before the commit.");
  }
  const Staged& staged = it->second;
  const std::string failure = "Cannot replace the content of report " + std::to_string(reportId);
  {
    Statement del(db_, "DELETE FROM report_chunks WHERE report_id = ?1");
    del.bind(1, static_cast<int64_t>(reportId));
    if (!del.run()) return fail(error, failure + ": " + db_.lastMessage() + ".");
  }
  {
    Statement copy(db_,
                   "INSERT INTO report_chunks(report_id, seq, data)"
                   " SELECT ?1, seq, data FROM temp.staged_chunks WHERE stage = ?2 ORDER BY seq");
    copy.bind(1, static_cast<int64_t>(reportId));
    copy.bind(2, staged.stage);
    if (!copy.run()) {
      return fail(error, "Cannot store the content of \"" + localPathAsUtf8(path) +
                             "\": " + db_.lastMessage() + ".");
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

bool exportReportFile(Database& db, int32_t reportId, const std::string& destPath,
                      std::string* error) {
  FilePtr f(std::fopen(destPath.c_str(), "wbx"));
  if (!f) {
    if (error) *error = "Cannot create \"" + destPath + "\": " + errorText(errno) + ".";
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
