// The spool of uploaded files.
#include "reportserver/serve/upload_spool.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/filesys.h"
#include "platform/stdio_files.h"
#include "reportserver/serve/random_token.h"

namespace korva {

namespace fs = std::filesystem;

UploadedFile::~UploadedFile() {
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
}

bool UploadSpool::open(const std::string& dir, std::string* error) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (!ec) fs::permissions(dir, fs::perms::owner_all, fs::perm_options::replace, ec);
  if (ec) {
    *error = "Cannot make the upload folder " + dir + ": " + ec.message() + ".";
    return false;
  }
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code ignored;
    fs::remove_all(it->path(), ignored);
  }
  if (ec) {
    *error = "Cannot read the upload folder " + dir + ": " + ec.message() + ".";
    return false;
  }
  dir_ = dir;
  return true;
}

bool UploadSpool::isFileName(const std::string& name) {
  return !name.empty() && name.size() <= 255 && name != "." && name != ".." &&
         name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

UploadSpool::Outcome UploadSpool::receive(const std::string& name, const BodyReader& read,
                                          uint64_t maxBytes, std::unique_ptr<UploadedFile>* out,
                                          std::string* error) {
  if (!isFileName(name)) {
    read([](const char*, size_t) { return true; });
    return Outcome::BadName;
  }
  const std::string folder = randomHex(16);
  if (folder.empty()) {
    *error = "No random name could be made for the uploaded file.";
    return Outcome::Failed;
  }
  const std::string dir = (fs::path(dir_) / folder).string();
  const std::string path = (fs::path(dir) / name).string();
  std::error_code madeError;
  if (!fs::create_directory(dir, madeError)) {
    *error = "Cannot make the folder " + dir + ": " + madeError.message() + ".";
    return Outcome::Failed;
  }
  // The file goes with this unless it is handed out whole.
  auto kept = std::make_unique<UploadedFile>(dir, path);
  int openError = 0;
  StdioFile file = createNewFile(path, true, &openError);
  if (!file) {
    *error = "Cannot make the file " + path + ": " + errorText(openError) + ".";
    return Outcome::Failed;
  }

  uint64_t size = 0;
  bool tooLarge = false, writeFailed = false;
  const BodyEnd end = read([&](const char* data, size_t length) {
    size += length;
    if (size > maxBytes) {
      tooLarge = true;
      return false;
    }
    if (std::fwrite(data, 1, length, file.get()) != length) {
      writeFailed = true;
      return false;
    }
    return true;
  });
  if (!writeFailed && end == BodyEnd::Complete && std::fflush(file.get()) != 0) writeFailed = true;
  if (writeFailed) {
    *error = "Cannot write the file " + path + ".";
    return Outcome::Failed;
  }
  if (tooLarge || end == BodyEnd::TooLarge) return Outcome::TooLarge;
  if (end != BodyEnd::Complete) return Outcome::BrokeOff;
  if (std::fclose(file.release()) != 0) {
    *error = "Cannot write the file " + path + ".";
    return Outcome::Failed;
  }
  *out = std::move(kept);
  return Outcome::Stored;
}

}  // namespace korva
