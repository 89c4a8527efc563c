// The answer of addFile: the attached file's path, for the record.
//
// Thread-safety: read-only once made. Ownership: holds its own text.
#ifndef KORVA_REPORTSERVER_COM_FILE_ENTRY_H_
#define KORVA_REPORTSERVER_COM_FILE_ENTRY_H_

#include <string>

#include "reportserver/com/com_support.h"
#include "reportserver/com/interface_stubs.h"

namespace korva {

class FileEntryImpl : public ServerObject<FileEntryImpl, IUnknown> {
 public:
  explicit FileEntryImpl(const std::string& path) : path_(path) {}
  IUnknown* interfaceFor(REFIID iid);
  const std::string& path() const { return path_; }

 private:
  ~FileEntryImpl() override = default;
  friend class RefCountedObject<FileEntryImpl>;
  std::string path_;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_COM_FILE_ENTRY_H_
