// The security information of an object: hands out its principals.
//
// Thread-safety: one thread at a time, like the session.
// Ownership: holds a reference to its object.
#ifndef KORVA_REPORTSERVER_COM_SECURITY_INFO_H_
#define KORVA_REPORTSERVER_COM_SECURITY_INFO_H_

#include "com/ref.h"
#include "reportserver/com/com_support.h"
#include "reportserver/com/info_object.h"
#include "reportserver/com/interface_stubs.h"
#include "server/report_server.h"

namespace korva {

class SecurityInfoImpl : public ServerObject<SecurityInfoImpl, SecurityInfoStub> {
 public:
  explicit SecurityInfoImpl(ObjectImpl* object) : object_(object) {}
  HRESULT STDMETHODCALLTYPE principals(SecurityPrincipals** out) override;

 private:
  ~SecurityInfoImpl() override = default;
  friend class RefCountedObject<SecurityInfoImpl>;
  Ref<ObjectImpl> object_;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_COM_SECURITY_INFO_H_
