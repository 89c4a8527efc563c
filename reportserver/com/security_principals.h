// The principals of an object's security information: adding one names the
// user whose role is then set.
//
// Thread-safety: one thread at a time, like the session.
// Ownership: holds a reference to its object.
#ifndef KORVA_REPORTSERVER_COM_SECURITY_PRINCIPALS_H_
#define KORVA_REPORTSERVER_COM_SECURITY_PRINCIPALS_H_

#include "com/ref.h"
#include "reportserver/com/com_support.h"
#include "reportserver/com/info_object.h"
#include "reportserver/com/interface_stubs.h"
#include "server/report_server.h"

namespace korva {

class SecurityPrincipalsImpl : public ServerObject<SecurityPrincipalsImpl, SecurityPrincipalsStub> {
 public:
  explicit SecurityPrincipalsImpl(ObjectImpl* object) : object_(object) {}
  HRESULT STDMETHODCALLTYPE addPrincipal(LONG userId, SecurityPrincipal** out) override;

 private:
  ~SecurityPrincipalsImpl() override = default;
  friend class RefCountedObject<SecurityPrincipalsImpl>;
  Ref<ObjectImpl> object_;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_COM_SECURITY_PRINCIPALS_H_
