// The report files of an object: attaching a file records it in the object,
// to be stored with the object's collection.
//
// Thread-safety: one thread at a time, like the session.
// Ownership: holds a reference to its object.
#ifndef KORVA_REPORTSERVER_COM_REPORT_FILES_H_
#define KORVA_REPORTSERVER_COM_REPORT_FILES_H_

#include <string>

#include "com/ref.h"
#include "reportserver/com/com_support.h"
#include "reportserver/com/info_object.h"
#include "reportserver/com/interface_stubs.h"
#include "server/report_server.h"

namespace korva {

class ReportFilesImpl : public ServerObject<ReportFilesImpl, ReportFilesStub> {
 public:
  explicit ReportFilesImpl(ObjectImpl* object) : object_(object) {}
  HRESULT STDMETHODCALLTYPE addFile(VARIANT path, LONG flag, VARIANT extra,
                                    IUnknown** out) override;

 private:
  ~ReportFilesImpl() override = default;
  friend class RefCountedObject<ReportFilesImpl>;
  Ref<ObjectImpl> object_;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_COM_REPORT_FILES_H_
