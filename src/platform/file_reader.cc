// The opener in force: the operating system's (file_reader_posix.cc or
// file_reader_win32.cc) unless a test has installed another.
//
// Thread-safety: the installed pointer is atomic.
// Ownership: an installed opener stays owned by the test.
#include "platform/file_reader.h"

#include <atomic>

namespace korva {
namespace {

std::atomic<FileOpener*> gInstalled{nullptr};

}  // namespace

FileOpener& fileOpener() {
  FileOpener* installed = gInstalled.load();
  return installed ? *installed : defaultFileOpener();
}

FileOpener* setFileOpenerForTesting(FileOpener* opener) { return gInstalled.exchange(opener); }

}  // namespace korva
