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
#include "reportserver/interface_stubs.h"
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

// The answer of addFile: the attached file's path, for the record.
class FileEntryImpl : public ServerObject<FileEntryImpl, IUnknown> {
 public:
  explicit FileEntryImpl(const std::string& path) : path_(path) {}
  IUnknown* interfaceFor(REFIID iid);
  const std::string& path() const { return path_; }

 private:
  ~FileEntryImpl() override = default;
  friend class RefCountedObject<FileEntryImpl>;
  std::string path_;
};

class SecurityInfoImpl : public ServerObject<SecurityInfoImpl, SecurityInfoStub> {
 public:
  explicit SecurityInfoImpl(ObjectImpl* object) : object_(object) {}
  HRESULT STDMETHODCALLTYPE principals(SecurityPrincipals** out) override;

 private:
  ~SecurityInfoImpl() override = default;
  friend class RefCountedObject<SecurityInfoImpl>;
  Ref<ObjectImpl> object_;
};

class SecurityPrincipalsImpl : public ServerObject<SecurityPrincipalsImpl, SecurityPrincipalsStub> {
 public:
  explicit SecurityPrincipalsImpl(ObjectImpl* object) : object_(object) {}
  HRESULT STDMETHODCALLTYPE addPrincipal(LONG userId, SecurityPrincipal** out) override;

 private:
  ~SecurityPrincipalsImpl() override = default;
  friend class RefCountedObject<SecurityPrincipalsImpl>;
  Ref<ObjectImpl> object_;
};

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

#endif  // KORVA_REPORTSERVER_OBJECT_PARTS_H_
