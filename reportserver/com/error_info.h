// One error the error source hands out: a fixed description.
//
// Thread-safety: read-only once made. Ownership: holds its own text.
#ifndef KORVA_REPORTSERVER_COM_ERROR_INFO_H_
#define KORVA_REPORTSERVER_COM_ERROR_INFO_H_

#include <string>

#include "reportserver/com/com_support.h"
#include "reportserver/com/interface_stubs.h"
#include "server/report_server.h"

namespace korva {

class ErrorInfoImpl : public ServerObject<ErrorInfoImpl, ErrorInfoStub> {
 public:
  explicit ErrorInfoImpl(std::wstring text) : text_(std::move(text)) {}
  HRESULT STDMETHODCALLTYPE description(BSTR* out) override;

 private:
  ~ErrorInfoImpl() override = default;
  friend class RefCountedObject<ErrorInfoImpl>;
  std::wstring text_;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_COM_ERROR_INFO_H_
