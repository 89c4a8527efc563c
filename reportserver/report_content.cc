// Streaming report files into and out of the repository.
#include "reportserver/report_content.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

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

std::string errnoText(int err) { return std::generic_category().message(err); }

std::string baseName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool checkReadableFile(const std::string& path, std::string* error) {
  std::error_code ec;
  if (path.empty()) {
    if (error) *error = "No report file was named.";
    return false;
  }
  if (std::filesystem::is_directory(path, ec)) {
    if (error) *error = "Cannot attach \"" + path + "\" to the report: it is a folder, not a file.";
    return false;
  }
  errno = 0;
  FilePtr f(std::fopen(path.c_str(), "rb"));
  if (!f) {
    int err = errno;
    if (error) {
      *error = "Cannot open the report file \"" + path +
               "\": " + (err ? errnoText(err) : std::string("unknown reason")) + ".";
    }
    return false;
  }
  if (!std::filesystem::is_regular_file(path, ec)) {
    if (error) *error = "Cannot attach \"" + path + "\" to the report: it is not a regular file.";
    return false;
  }
  return true;
}

bool storeReportFile(Database& db, int32_t reportId, const std::string& path, StoredFile* out,
                     std::string* error) {
  if (!checkReadableFile(path, error)) return false;
  errno = 0;
  FilePtr f(std::fopen(path.c_str(), "rb"));
  if (!f) {
    if (error) *error = "Cannot open the report file \"" + path + "\": " + errnoText(errno) + ".";
    return false;
  }
  {
    Statement del(db, "DELETE FROM report_chunks WHERE report_id = ?1");
    del.bind(1, static_cast<int64_t>(reportId));
    if (!del.run()) {
      if (error)
        *error = "Cannot replace the content of report " + std::to_string(reportId) + ": " +
                 db.lastMessage() + ".";
      return false;
    }
  }
  std::unique_ptr<EVP_MD_CTX, DigestFree> digest(EVP_MD_CTX_new());
  if (!digest || EVP_DigestInit_ex(digest.get(), EVP_sha256(), nullptr) != 1) {
    if (error) *error = "Cannot compute the digest of \"" + path + "\".";
    return false;
  }
  std::vector<unsigned char> buffer(kReportChunkBytes);
  Statement insert(db, "INSERT INTO report_chunks(report_id, seq, data) VALUES(?1, ?2, ?3)");
  int64_t size = 0;
  int64_t seq = 0;
  while (true) {
    size_t n = std::fread(buffer.data(), 1, buffer.size(), f.get());
    if (n > 0) {
      EVP_DigestUpdate(digest.get(), buffer.data(), n);
      insert.reset();
      insert.bind(1, static_cast<int64_t>(reportId));
      insert.bind(2, seq++);
      insert.bindBlobStatic(3, buffer.data(), static_cast<int>(n));
      if (!insert.run()) {
        if (error)
          *error = "Cannot store the content of \"" + path + "\": " + db.lastMessage() + ".";
        return false;
      }
      size += static_cast<int64_t>(n);
    }
    if (n < buffer.size()) {
      if (std::ferror(f.get())) {
        if (error)
          *error = "Cannot read the report file \"" + path + "\": " + errnoText(errno) + ".";
        return false;
      }
      break;
    }
  }
  unsigned char hash[EVP_MAX_MD_SIZE];
  unsigned int hashLen = 0;
  EVP_DigestFinal_ex(digest.get(), hash, &hashLen);
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < hashLen; ++i) {
    hex.push_back(digits[hash[i] >> 4]);
    hex.push_back(digits[hash[i] & 15]);
  }
  StoredFile stored;
  stored.name = baseName(path);
  stored.size = size;
  stored.sha256 = hex;
  Statement update(db,
                   "UPDATE reports SET file_name = ?1, file_size = ?2, file_sha256 = ?3"
                   " WHERE id = ?4");
  update.bind(1, stored.name);
  update.bind(2, stored.size);
  update.bind(3, stored.sha256);
  update.bind(4, static_cast<int64_t>(reportId));
  if (!update.run()) {
    if (error)
      *error = "Cannot record the file of report " + std::to_string(reportId) + ": " +
               db.lastMessage() + ".";
    return false;
  }
  if (out) *out = stored;
  return true;
}

bool exportReportFile(Database& db, int32_t reportId, const std::string& destPath,
                      std::string* error) {
  FilePtr f(std::fopen(destPath.c_str(), "wbx"));
  if (!f) {
    if (error) *error = "Cannot create \"" + destPath + "\": " + errnoText(errno) + ".";
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
      if (error) *error = "Cannot write \"" + destPath + "\": " + errnoText(errno) + ".";
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
    if (error) *error = "Cannot write \"" + destPath + "\": " + errnoText(errno) + ".";
    return false;
  }
  return true;
}

}  // namespace korva
