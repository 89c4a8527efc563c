// The error source: the calling thread's last report server error, handed
// out as an error object.
//
// Thread-safety: reads the calling thread's description; holds no state.
// Ownership: the error objects it hands out belong to the caller.
#ifndef KORVA_REPORTSERVER_COM_ERROR_SOURCE_H_
#define KORVA_REPORTSERVER_COM_ERROR_SOURCE_H_

#include "reportserver/com/com_support.h"
#include "reportserver/com/interface_stubs.h"
#include "server/report_server.h"

namespace korva {

class ErrorSourceImpl : public ServerObject<ErrorSourceImpl, ErrorSourceStub> {
 public:
  IUnknown* interfaceFor(REFIID iid);
  // A snapshot of the calling thread's last description.
  HRESULT STDMETHODCALLTYPE lastError(ErrorInfo** out) override;

 private:
  ~ErrorSourceImpl() override = default;
  friend class RefCountedObject<ErrorSourceImpl>;
};

// What the error source's class factory creates.
HRESULT createErrorSource(IUnknown* outer, REFIID iid, void** out);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_COM_ERROR_SOURCE_H_
