// Opening and reading report files without waiting.
#include "reportserver/store/report_file_reading.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/filesys.h"
#include "reportserver/text/local_path.h"

namespace korva {
namespace {

bool fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

class BytesReader : public FileReader {
 public:
  explicit BytesReader(std::string_view bytes) : rest_(bytes) {}
  FileKind kind() const override { return FileKind::Regular; }
  int read(void* buffer, size_t size, size_t* got) override {
    *got = std::min(size, rest_.size());
    if (*got > 0) std::memcpy(buffer, rest_.data(), *got);
    rest_.remove_prefix(*got);
    return 0;
  }

 private:
  std::string_view rest_;
};

}  // namespace

std::unique_ptr<FileReader> bytesReader(std::string_view bytes) {
  return std::make_unique<BytesReader>(bytes);
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

bool checkReadableFile(const std::string& path, std::string* error) {
  std::unique_ptr<FileReader> reader;
  if (!openReportFile(path, &reader, error)) return false;
  unsigned char probe[1];
  size_t got = 0;
  return readChunk(*reader, path, probe, sizeof probe, &got, error);
}

}  // namespace korva
