// The small objects reached through an object: its report files and its
// security information with the principals. Each records its changes in the
// object it belongs to, so they are committed with the object's collection.
//
// Thread-safety: one thread at a time, like the session.
// Ownership: each part holds a reference to its object.
#ifndef KORVA_REPORTSERVER_OBJECT_PARTS_H_
#define KORVA_REPORTSERVER_OBJECT_PARTS_H_

#include <cstdint>
#include <string>

#include "reportserver/com_support.h"
#include "reportserver/info_object.h"
#include "server/report_server.h"

namespace korva {

class ReportFilesImpl : public ReportFiles, public RefCountedObject<ReportFilesImpl> {
 public:
  explicit ReportFilesImpl(ObjectImpl* object) : object_(object) {}
  KORVA_REFCOUNTED_UNKNOWN
  HRESULT queryInterface(const Guid& iid, void** out) override;
  HRESULT addFile(const Variant& path, int32_t flag, const Variant& extra,
                  Ref<Unknown>* out) override;

 private:
  ~ReportFilesImpl() override = default;
  friend class RefCountedObject<ReportFilesImpl>;
  Ref<ObjectImpl> object_;
};

// The answer of addFile: the attached file's path, for the record.
class FileEntryImpl : public Unknown, public RefCountedObject<FileEntryImpl> {
 public:
  explicit FileEntryImpl(const std::string& path) : path_(path) {}
  KORVA_REFCOUNTED_UNKNOWN
  HRESULT queryInterface(const Guid& iid, void** out) override;
  const std::string& path() const { return path_; }

 private:
  ~FileEntryImpl() override = default;
  friend class RefCountedObject<FileEntryImpl>;
  std::string path_;
};

class SecurityInfoImpl : public SecurityInfo, public RefCountedObject<SecurityInfoImpl> {
 public:
  explicit SecurityInfoImpl(ObjectImpl* object) : object_(object) {}
  KORVA_REFCOUNTED_UNKNOWN
  HRESULT queryInterface(const Guid& iid, void** out) override;
  HRESULT principals(Ref<SecurityPrincipals>* out) override;

 private:
  ~SecurityInfoImpl() override = default;
  friend class RefCountedObject<SecurityInfoImpl>;
  Ref<ObjectImpl> object_;
};

class SecurityPrincipalsImpl : public SecurityPrincipals,
                               public RefCountedObject<SecurityPrincipalsImpl> {
 public:
  explicit SecurityPrincipalsImpl(ObjectImpl* object) : object_(object) {}
  KORVA_REFCOUNTED_UNKNOWN
  HRESULT queryInterface(const Guid& iid, void** out) override;
  HRESULT addPrincipal(int32_t userId, Ref<SecurityPrincipal>* out) override;

 private:
  ~SecurityPrincipalsImpl() override = default;
  friend class RefCountedObject<SecurityPrincipalsImpl>;
  Ref<ObjectImpl> object_;
};

class SecurityPrincipalImpl : public SecurityPrincipal,
                              public RefCountedObject<SecurityPrincipalImpl> {
 public:
  SecurityPrincipalImpl(ObjectImpl* object, int32_t userId) : object_(object), userId_(userId) {}
  KORVA_REFCOUNTED_UNKNOWN
  HRESULT queryInterface(const Guid& iid, void** out) override;
  HRESULT setRole(int32_t role) override;

 private:
  ~SecurityPrincipalImpl() override = default;
  friend class RefCountedObject<SecurityPrincipalImpl>;
  Ref<ObjectImpl> object_;
  int32_t userId_;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_OBJECT_PARTS_H_
