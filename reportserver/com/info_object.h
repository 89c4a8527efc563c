// The info objects a query collection hands out: stored or new users,
// folders, reports and others (ObjectImpl, which also answers UserObject for
// users and ReportObject for reports).
//
// An ObjectImpl keeps what its query read (its head: id, type, parent and
// title; nothing a client can ask for needs more) and the changes made since,
// which wait for the commit of the collection that holds it. When that
// collection is released, the changes are discarded and the object refuses
// new ones.
//
// Thread-safety: one thread at a time, like the session.
// Ownership: its collection holds the object and tells it when it goes away
// (owner_ is not a reference). An object needs nothing of the session once
// made: it does not hold the session context.
#ifndef KORVA_REPORTSERVER_COM_INFO_OBJECT_H_
#define KORVA_REPORTSERVER_COM_INFO_OBJECT_H_

#include <cstdint>
#include <memory>
#include <string>

#include "com/refcounted_object.h"
#include "reportserver/com/com_support.h"
#include "reportserver/com/interface_stubs.h"
#include "reportserver/store/object_change.h"
#include "reportserver/store/store_records.h"
#include "server/report_server.h"

namespace korva {

class InfoObjectsImpl;

// One object with one count and three tables: InfoObject (also its IUnknown
// and IDispatch), UserObject for a user, ReportObject for a report. Like
// every object the server hands out, it counts as a use of the module while
// it lives (RefCountedObject), so the library is not unloaded under a client
// that still holds one.
class ObjectImpl : public InfoObjectStub,
                   public UserObjectStub,
                   public ReportObjectStub,
                   public RefCountedObject<ObjectImpl> {
 public:
  // A stored object as read by a query.
  ObjectImpl(const PluginInfo& plugin, const ObjectHead& stored, InfoObjectsImpl* owner);
  // A new object of the plugin's type, pending until commit.
  ObjectImpl(const PluginInfo& plugin, InfoObjectsImpl* owner);

  KORVA_REFCOUNTED_UNKNOWN
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  IUnknown* interfaceFor(REFIID iid);

  // InfoObject
  HRESULT STDMETHODCALLTYPE setProperty(BSTR name, VARIANT value) override;
  HRESULT STDMETHODCALLTYPE id(LONG* out) override;
  HRESULT STDMETHODCALLTYPE title(BSTR* out) override;
  HRESULT STDMETHODCALLTYPE setTitle(BSTR text) override;
  HRESULT STDMETHODCALLTYPE setDescription(BSTR text) override;
  HRESULT STDMETHODCALLTYPE files(ReportFiles** out) override;
  HRESULT STDMETHODCALLTYPE securityInfo(SecurityInfo** out) override;

  // UserObject
  HRESULT STDMETHODCALLTYPE setFullName(BSTR text) override;
  HRESULT STDMETHODCALLTYPE setPasswordOption1(VARIANT_BOOL value) override;
  HRESULT STDMETHODCALLTYPE setPasswordOption2(VARIANT_BOOL value) override;
  HRESULT STDMETHODCALLTYPE setPasswordOption3(VARIANT_BOOL value) override;
  HRESULT STDMETHODCALLTYPE setLicenseType(LONG type) override;
  HRESULT STDMETHODCALLTYPE setPassword(BSTR text) override;

  // ReportObject
  HRESULT STDMETHODCALLTYPE setThumbnail(VARIANT_BOOL value) override;

  // For the parts (files, principals) and the commit.
  // S_OK when changes may be made; else a failure with its description.
  HRESULT checkChangeable();
  HRESULT pendFile(const std::string& path);
  HRESULT pendRight(int32_t userId, int32_t role);
  void pendRemove() { pending().remove = true; }

  const PluginInfo& plugin() const { return plugin_; }
  const ObjectHead& stored() const { return stored_; }
  // The changes, made empty when there are none yet.
  PendingChanges& pending();
  bool isNew() const { return isNew_; }
  bool isDeleted() const { return deleted_; }
  bool isUser() const { return plugin_.kind == PluginKind::User; }
  bool isReport() const { return plugin_.kind == PluginKind::Report; }
  bool hasPending() const;
  InfoObjectsImpl* owner() const { return owner_; }
  // Held by one reference alone (its collection's).
  bool unshared() {
    const ULONG held = addRefImpl();  // the count it had, plus this one
    releaseImpl();
    return held == 2;
  }
  // A commit changed its title or parent since its query read it.
  bool headChanged() const { return headChanged_; }
  // An unshared object of a released collection, unchanged, joins another
  // collection made from the same query answer.
  void attach(InfoObjectsImpl* owner) { owner_ = owner; }

  // What the store is asked to commit for it.
  ObjectChange change() const;
  // After a successful commit: the object now holds these values.
  void committed(const ObjectRecord& record);
  void committedRemoval();
  // The collection goes away: its pending changes with it.
  void collectionReleased();

  // A label for descriptions: "new Report" or "Report 12".
  std::string label() const;

 private:
  ~ObjectImpl() override = default;
  friend class RefCountedObject<ObjectImpl>;

  HRESULT setPasswordOption(int which, VARIANT_BOOL value, const char* operation);
  HRESULT needUser(const char* operation);

  // What a client that reads titles touches comes first, together.
  InfoObjectsImpl* owner_;
  std::unique_ptr<PendingChanges> pending_;  // none until the first change
  ObjectHead stored_;
  bool isNew_;
  bool deleted_ = false;
  bool headChanged_ = false;
  PluginInfo plugin_;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_COM_INFO_OBJECT_H_
