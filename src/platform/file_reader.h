// Reading a local file without ever waiting for it. Opening never blocks (a
// FIFO without a writer, a device), the kind of file is read from the opened
// file itself (not from its path, which may change in between), and a read
// answers at once: data, the end, or EAGAIN when the file has nothing to give
// yet (a regular-looking file that would block, such as a kernel log).
//
// The opener in force is process-wide: fileOpener() answers the operating
// system's unless a test has installed another with setFileOpenerForTesting().
//
// Thread-safety: the real opener is stateless and safe on any thread; a
// FileReader is used by one thread at a time; installing a test opener is not
// meant to race with its use.
// Ownership: a FileReader owns its open file and closes it when destroyed; an
// installed test opener stays owned by the test.
#ifndef KORVA_PLATFORM_FILE_READER_H_
#define KORVA_PLATFORM_FILE_READER_H_

#include <cstddef>
#include <memory>
#include <string>

namespace korva {

enum class FileKind { Regular, Directory, Other };

// One file open for reading.
class FileReader {
 public:
  virtual ~FileReader() = default;
  // What the open file is.
  virtual FileKind kind() const = 0;
  // Reads up to size bytes without waiting: 0 with *got set (0 at the end of
  // the file), or the C error number (EAGAIN: nothing there yet).
  virtual int read(void* buffer, size_t size, size_t* got) = 0;
};

class FileOpener {
 public:
  virtual ~FileOpener() = default;
  // 0 and *reader set, or the C error number. What is neither a regular
  // file nor a directory may be answered without being opened (kind Other,
  // and every read fails).
  virtual int open(const std::string& path, std::unique_ptr<FileReader>* reader) = 0;
};

// The opener in force.
FileOpener& fileOpener();
// The operating system's own opener, whatever is installed.
FileOpener& defaultFileOpener();
// Installs an opener for tests and answers the one it replaces; null puts the
// operating system's own back.
FileOpener* setFileOpenerForTesting(FileOpener* opener);

}  // namespace korva

#endif  // KORVA_PLATFORM_FILE_READER_H_
