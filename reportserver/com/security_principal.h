// One user's right on an object: setting its role records the right in the
// object, to be stored with the object's collection.
//
// Thread-safety: one thread at a time, like the session.
// Ownership: holds a reference to its object.
#ifndef KORVA_REPORTSERVER_COM_SECURITY_PRINCIPAL_H_
#define KORVA_REPORTSERVER_COM_SECURITY_PRINCIPAL_H_

#include <cstdint>

#include "com/ref.h"
#include "reportserver/com/com_support.h"
#include "reportserver/com/info_object.h"
#include "reportserver/com/interface_stubs.h"
#include "server/report_server.h"

namespace korva {

class SecurityPrincipalImpl : public ServerObject<SecurityPrincipalImpl, SecurityPrincipalStub> {
 public:
  SecurityPrincipalImpl(ObjectImpl* object, int32_t userId) : object_(object), userId_(userId) {}
  HRESULT STDMETHODCALLTYPE setRole(LONG role) override;

 private:
  ~SecurityPrincipalImpl() override = default;
  friend class RefCountedObject<SecurityPrincipalImpl>;
  Ref<ObjectImpl> object_;
  int32_t userId_;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_COM_SECURITY_PRINCIPAL_H_
