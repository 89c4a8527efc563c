// The InfoStore service of a session: queries that hand out collections, and
// the commit of a collection's pending changes.
//
// Thread-safety: one thread at a time, like the session.
// Ownership: holds the session context.
#ifndef KORVA_REPORTSERVER_COM_INFO_STORE_H_
#define KORVA_REPORTSERVER_COM_INFO_STORE_H_

#include "reportserver/com/com_support.h"
#include "reportserver/com/interface_stubs.h"
#include "reportserver/com/session_context.h"
#include "server/report_server.h"

namespace korva {

class InfoStoreImpl : public ServerObject<InfoStoreImpl, InfoStoreStub> {
 public:
  explicit InfoStoreImpl(SessionContextPtr ctx) : ctx_(std::move(ctx)) {}
  IUnknown* interfaceFor(REFIID iid);
  HRESULT STDMETHODCALLTYPE query(BSTR text, InfoObjects** out) override;
  HRESULT STDMETHODCALLTYPE commit(InfoObjects* objects) override;

 private:
  ~InfoStoreImpl() override = default;
  friend class RefCountedObject<InfoStoreImpl>;
  SessionContextPtr ctx_;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_COM_INFO_STORE_H_
