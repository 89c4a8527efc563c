// A report's file content in the repository: checked when it is attached,
// written in chunks of at most 1 MiB (so memory does not grow with the
// file), with its base name, size and SHA-256, and streamed out again for
// checks.
//
// Content of more than one chunk is staged before the commit takes the
// repository's write lock: written into report_chunks chunk by chunk, each in
// a short transaction of its own, under a band of sequence numbers of its
// own (band b holds seq b<<32 up to (b+1)<<32; content from before bands
// existed is band 0). A band listed in content_bands is not content: staged
// (a commit will make it the report's content by removing the entry) or left
// over (the report's former content, or a staging whose commit failed), to be
// purged after the commit in short transactions. So the write lock is held
// only for the short commit, however large the file. Content of one chunk or
// less is read ahead into memory and written by the commit itself.
//
// Report files are opened and read without ever waiting (file_reader.h): only
// regular files are taken, and one that cannot be read at once is refused. No
// report file is read while the write lock is held, so a slow or blocking file
// never keeps another run waiting on the repository.
//
// Thread-safety: one Database per thread.
// Ownership: StagedFiles owns what it staged until a commit makes it a
// report's content; whatever is left when it goes is purged.
#ifndef KORVA_REPORTSERVER_REPORT_CONTENT_H_
#define KORVA_REPORTSERVER_REPORT_CONTENT_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "reportserver/sqlite_db.h"

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

// The report files of one commit, each read once before the commit takes
// the write lock; the commit stores them from there. Objects are named by a
// key of the caller's (the object's address).
class StagedFiles {
 public:
  explicit StagedFiles(Database& db);
  ~StagedFiles();  // purges what no commit made a report's content
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;

  // Reads the file for the report (reportId 0: a new report, whose id is
  // taken now when its content is staged); to be called before the write
  // transaction begins.
  bool stage(const void* key, int32_t reportId, const std::string& path, std::string* error);
  // The id stage() took for a new report, or 0.
  int32_t reservedId(const void* key) const;
  // Inside the caller's transaction: makes the staged content the report's
  // (its former content is deleted at once when small, else left over for
  // the purge) and records name, size and digest in the report's row.
  bool store(const void* key, int32_t reportId, StoredFile* out, std::string* error);

 private:
  struct Staged {
    int32_t reportId = 0;
    int32_t reservedId = 0;
    int64_t band = -1;                // -1: kept in memory, written by store()
    std::vector<unsigned char> data;  // content of one chunk or less
    StoredFile file;
  };

  bool nextBand(int64_t* band, std::string* error);
  // One short transaction: the band (and a new report's id) and its entry.
  bool beginBand(Staged* staged, std::string* error);
  // One chunk in a short transaction of its own.
  bool writeStagedChunk(const Staged& staged, int64_t seq, const unsigned char* data, size_t size,
                        const std::string& path, std::string* error);
  // Marks the report's current content left over, or deletes it when small.
  bool dropFormerContent(int32_t reportId, std::string* error);
  void purge();

  Database& db_;
  std::vector<unsigned char> buffer_;  // one chunk
  std::map<const void*, Staged> staged_;
  bool leftOver_ = false;  // something may wait for the purge
};

// Writes the report's stored content to a new file at destPath.
bool exportReportFile(Database& db, int32_t reportId, const std::string& destPath,
                      std::string* error);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_REPORT_CONTENT_H_
