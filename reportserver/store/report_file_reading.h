// Report files as a commit reads them, in the process's encoding: opened
// without ever waiting (platform/file_reader.h), regular files only, read in
// pieces; a file that has nothing to give at once is refused. Every refusal
// is described with the file's path in UTF-8.
//
// Thread-safety: pure functions over the caller's reader.
// Ownership: the reader opened belongs to the caller.
#ifndef KORVA_REPORTSERVER_STORE_REPORT_FILE_READING_H_
#define KORVA_REPORTSERVER_STORE_REPORT_FILE_READING_H_

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file_reader.h"

namespace korva {

// Opens a report file without waiting and takes regular files only.
bool openReportFile(const std::string& path, std::unique_ptr<FileReader>* reader,
                    std::string* error);

// A reader of bytes already in memory (a file sent with its commit), read
// as a regular file; the bytes must outlive it.
std::unique_ptr<FileReader> bytesReader(std::string_view bytes);

// Fills the buffer as far as the file goes (*got < size: the end was
// reached); a file that has nothing to give at once is refused.
bool readChunk(FileReader& reader, const std::string& path, unsigned char* buffer, size_t size,
               size_t* got, std::string* error);

// Whether the path names a regular file that can be read at once; the
// description says why not.
bool checkReadableFile(const std::string& path, std::string* error);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_REPORT_FILE_READING_H_
