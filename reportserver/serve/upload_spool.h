// Where uploaded report files wait for the commit that stores them: a folder
// of the server home that only the server's owner may read, one folder per
// upload under a random name, holding the file under the name the client
// gave (so that the report keeps its file's name, as a local attach does).
// A file that breaks off on the way, or grows past the limit, is removed at
// once; a kept file is removed when its UploadedFile goes (its commit stored
// it, or its session ended). Files left by a server that did not stop
// cleanly are removed when the spool opens.
//
// Thread-safety: receive() may run on many threads at once (each writes a
// file of its own).
// Ownership: an UploadedFile owns its file on disk.
#ifndef KORVA_REPORTSERVER_SERVE_UPLOAD_SPOOL_H_
#define KORVA_REPORTSERVER_SERVE_UPLOAD_SPOOL_H_

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "reportserver/serve/body_reader.h"

namespace korva {

class UploadedFile {
 public:
  // dir: the upload's own folder, path: the file in it.
  UploadedFile(std::string dir, std::string path) : dir_(std::move(dir)), path_(std::move(path)) {}
  ~UploadedFile();
  UploadedFile(const UploadedFile&) = delete;
  UploadedFile& operator=(const UploadedFile&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string dir_;
  std::string path_;
};

class UploadSpool {
 public:
  // Makes the folder (owner only) or empties the one there; false with
  // *error set.
  bool open(const std::string& dir, std::string* error);

  enum class Outcome { Stored, TooLarge, BrokeOff, BadName, Failed };

  // Whether name can be a file's name in the spool: not empty, at most 255
  // bytes, no "/" or NUL, not "." or "..".
  static bool isFileName(const std::string& name);

  // Writes the body into a new file of the spool named name, at most
  // maxBytes. Stored: *out holds the file; Failed: *error says why it could
  // not be written.
  Outcome receive(const std::string& name, const BodyReader& read, uint64_t maxBytes,
                  std::unique_ptr<UploadedFile>* out, std::string* error);

 private:
  std::string dir_;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_SERVE_UPLOAD_SPOOL_H_
