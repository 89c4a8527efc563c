// The objects a collection hands out: stored or new users, folders, reports
// and others (ObjectImpl, which also answers UserObject for users and
// ReportObject for reports), and the desktop plugins (PluginObjectImpl).
//
// An ObjectImpl keeps the values read by its query and the changes made
// since, which wait for the commit of the collection that holds it. When that
// collection is released, the changes are discarded and the object refuses
// new ones.
//
// Thread-safety: one thread at a time, like the session.
// Ownership: each object holds the session context; its collection holds the
// object and tells it when it goes away (owner_ is not a reference).
#ifndef KORVA_REPORTSERVER_INFO_OBJECT_H_
#define KORVA_REPORTSERVER_INFO_OBJECT_H_

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "reportserver/com_support.h"
#include "reportserver/repository.h"
#include "reportserver/session_context.h"
#include "server/report_server.h"

namespace korva {

class InfoObjectsImpl;

// Changes waiting for commit. Texts are UTF-8.
struct PendingChanges {
  std::optional<std::string> title;
  std::optional<std::string> description;
  std::optional<int32_t> parentId;
  std::optional<std::string> reportType;
  std::optional<bool> thumbnail;
  std::optional<std::string> filePath;
  std::optional<std::string> fullName;
  std::optional<std::string> passwordRecord;  // "" clears the password
  std::optional<bool> passwordOptions[3];
  std::optional<int32_t> licenseType;
  std::map<int32_t, int32_t> rights;  // user id -> role
  bool remove = false;

  bool changesFields() const;
};

class ObjectImpl : public InfoObject,
                   public UserObject,
                   public ReportObject,
                   public RefCountedObject<ObjectImpl> {
 public:
  // A stored object as read by a query.
  ObjectImpl(SessionContextPtr ctx, const PluginInfo& plugin, ObjectRecord stored,
             InfoObjectsImpl* owner);
  // A new object of the plugin's type, pending until commit.
  ObjectImpl(SessionContextPtr ctx, const PluginInfo& plugin, InfoObjectsImpl* owner);

  KORVA_REFCOUNTED_UNKNOWN
  HRESULT queryInterface(const Guid& iid, void** out) override;
  void* interfaceFor(const Guid& iid);

  // InfoObject
  HRESULT setProperty(const wchar_t* name, const Variant& value) override;
  HRESULT id(int32_t* out) override;
  HRESULT title(std::wstring* out) override;
  HRESULT setTitle(const wchar_t* text) override;
  HRESULT setDescription(const wchar_t* text) override;
  HRESULT files(Ref<ReportFiles>* out) override;
  HRESULT securityInfo(Ref<SecurityInfo>* out) override;

  // UserObject
  HRESULT setFullName(const wchar_t* text) override;
  HRESULT setPasswordOption1(bool value) override;
  HRESULT setPasswordOption2(bool value) override;
  HRESULT setPasswordOption3(bool value) override;
  HRESULT setLicenseType(int32_t type) override;
  HRESULT setPassword(const wchar_t* text) override;

  // ReportObject
  HRESULT setThumbnail(bool value) override;

  // For the parts (files, principals) and the commit.
  // S_OK when changes may be made; else a failure with its description.
  HRESULT checkChangeable();
  HRESULT pendFile(const std::string& path);
  HRESULT pendRight(int32_t userId, int32_t role);
  void pendRemove() { pending_.remove = true; }

  const PluginInfo& plugin() const { return plugin_; }
  const ObjectRecord& stored() const { return stored_; }
  PendingChanges& pending() { return pending_; }
  bool isNew() const { return isNew_; }
  bool isDeleted() const { return deleted_; }
  bool isUser() const { return plugin_.kind == PluginKind::User; }
  bool isReport() const { return plugin_.kind == PluginKind::Report; }
  bool hasPending() const { return isNew_ || pending_.remove || pending_.changesFields(); }
  InfoObjectsImpl* owner() const { return owner_; }
  SessionContext* context() const { return ctx_.get(); }

  // The stored values with the pending changes applied.
  ObjectRecord merged() const;
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

  HRESULT setPasswordOption(int which, bool value, const char* operation);
  HRESULT needUser(const char* operation);

  SessionContextPtr ctx_;
  PluginInfo plugin_;
  ObjectRecord stored_;
  PendingChanges pending_;
  InfoObjectsImpl* owner_;
  bool isNew_;
  bool deleted_ = false;
};

class PluginObjectImpl : public DesktopPlugin, public RefCountedObject<PluginObjectImpl> {
 public:
  explicit PluginObjectImpl(const PluginInfo& plugin) : plugin_(plugin) {}

  KORVA_REFCOUNTED_UNKNOWN
  HRESULT queryInterface(const Guid& iid, void** out) override;

  HRESULT setProperty(const wchar_t* name, const Variant& value) override;
  HRESULT id(int32_t* out) override;
  HRESULT title(std::wstring* out) override;
  HRESULT setTitle(const wchar_t* text) override;
  HRESULT setDescription(const wchar_t* text) override;
  HRESULT files(Ref<ReportFiles>* out) override;
  HRESULT securityInfo(Ref<SecurityInfo>* out) override;
  HRESULT typeId(int16_t* out) override;
  HRESULT name(std::wstring* out) override;

  const PluginInfo& plugin() const { return plugin_; }

 private:
  ~PluginObjectImpl() override = default;
  friend class RefCountedObject<PluginObjectImpl>;

  PluginInfo plugin_;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_INFO_OBJECT_H_
