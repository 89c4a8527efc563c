// The floor's three phases over report_server.h.
#include "floor.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "com/bstr.h"
#include "com/ref.h"
#include "com/variant.h"
#include "platform/com.h"
#include "reportserver/com/com_support.h"
#include "reportserver/text/utf8.h"
#include "server/report_server.h"

namespace bench {
namespace {

using korva::Bstr;
using korva::DesktopPlugin;
using korva::InfoObject;
using korva::InfoObjects;
using korva::InfoStore;
using korva::Ref;
using korva::Variant;

std::wstring wide(const std::string& s) { return korva::fromUtf8(s); }

void check(HRESULT hr, const char* what) {
  if (FAILED(hr)) {
    throw std::runtime_error(std::string(what) +
                             " failed: " + korva::toUtf8(korva::lastErrorDescription()));
  }
}

// What the floor remembers of a publish: every id in creation order.
struct FloorIds {
  std::vector<int32_t> users;
  std::vector<int32_t> folders;
  std::vector<std::vector<int32_t>> reports;  // per folder

  void save(const std::string& path) const {
    std::ofstream out(path);
    out << users.size() << ' ' << folders.size() << '\n';
    for (int32_t id : users) out << id << '\n';
    for (size_t f = 0; f < folders.size(); ++f) {
      out << folders[f] << ' ' << reports[f].size() << '\n';
      for (int32_t id : reports[f]) out << id << '\n';
    }
    if (!out) throw std::runtime_error("cannot write " + path);
  }

  void load(const std::string& path) {
    std::ifstream in(path);
    size_t nUsers = 0, nFolders = 0;
    in >> nUsers >> nFolders;
    users.resize(nUsers);
    for (int32_t& id : users) in >> id;
    folders.resize(nFolders);
    reports.resize(nFolders);
    for (size_t f = 0; f < nFolders; ++f) {
      size_t n = 0;
      in >> folders[f] >> n;
      reports[f].resize(n);
      for (int32_t& id : reports[f]) in >> id;
    }
    if (!in) throw std::runtime_error("cannot read " + path);
  }
};

// One logged-on session with its InfoStore and the three desktop plugins.
class FloorSession {
 public:
  explicit FloorSession(const std::string& aps) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Ref<korva::SessionManager> manager;
    check(korva::createInstance(korva::CLSID_SessionManager, CLSCTX_ALL, &manager),
          "createInstance");
    check(manager->logon(Bstr(L"Administrator"), Bstr(L""), Bstr(wide(aps)), Bstr(L"secEnterprise"),
                         session_.put()),
          "logon");
    Ref<IUnknown> service;
    check(session_->getService(Bstr(L""), Bstr(L"InfoStore"), service.put()), "getService");
    check(service.query(&store_), "InfoStore");
    Ref<korva::PluginManager> plugins;
    check(session_->getPluginManager(plugins.put()), "getPluginManager");
    Ref<InfoObjects> desktop;
    check(plugins->getPlugins(Bstr(L"Desktop"), desktop.put()), "getPlugins");
    LONG count = 0;
    check(desktop->count(&count), "count");
    for (LONG i = 1; i <= count; ++i) {
      Ref<DesktopPlugin> plugin;
      check(korva::itemAs(desktop.get(), i, &plugin), "item");
      Bstr text;
      check(plugin->name(text.put()), "name");
      const std::wstring name = text.str();
      if (name == L"User") user_ = plugin;
      if (name == L"Folder") folder_ = plugin;
      if (name == L"Report") report_ = plugin;
    }
    if (!user_ || !folder_ || !report_) throw std::runtime_error("a desktop plugin is missing");
  }
  ~FloorSession() {
    user_.reset();
    folder_.reset();
    report_.reset();
    store_.reset();
    session_.reset();
    CoUninitialize();
  }

  InfoStore* store() { return store_.get(); }

  // An empty collection to add a new object to.
  Ref<InfoObjects> empty(bool system) {
    Ref<InfoObjects> c;
    check(store_->query(Bstr(system ? L"SELECT * FROM CI_SYSTEMOBJECTS WHERE SI_ID=0"
                                    : L"SELECT * FROM CI_INFOOBJECTS WHERE SI_ID=0"),
                        c.put()),
          "query");
    return c;
  }

  // The collection holding one stored object, and the object.
  Ref<InfoObject> byId(bool system, int32_t id, Ref<InfoObjects>* collection) {
    std::wstring text = system ? L"SELECT * FROM CI_SYSTEMOBJECTS WHERE SI_ID="
                               : L"SELECT * FROM CI_INFOOBJECTS WHERE SI_ID=";
    text += std::to_wstring(id);
    check(store_->query(Bstr(text), collection->put()), "query");
    Ref<InfoObject> item;
    check(korva::itemAs(collection->get(), 1, &item), "item");
    return item;
  }

  int32_t commit(InfoObjects* c, InfoObject* o) {
    check(store_->commit(c), "commit");
    LONG id = 0;
    check(o->id(&id), "id");
    return id;
  }

  // Reads every child's title, as a search by title does when it finds none.
  void lookUp(const wchar_t* kind, int32_t parentId, int16_t typeId) {
    std::wstring text = kind;
    text += std::to_wstring(parentId) + L" AND SI_OBTYPE=" + std::to_wstring(typeId);
    Ref<InfoObjects> c;
    check(store_->query(Bstr(text), c.put()), "query");
    LONG count = 0;
    check(c->count(&count), "count");
    for (LONG i = 1; i <= count; ++i) {
      Ref<InfoObject> item;
      check(korva::itemAs(c.get(), i, &item), "item");
      Bstr title;
      check(item->title(title.put()), "title");
    }
  }

  int16_t typeOf(DesktopPlugin* plugin) {
    SHORT type = 0;
    check(plugin->typeId(&type), "typeId");
    return type;
  }

  DesktopPlugin* userPlugin() { return user_.get(); }
  DesktopPlugin* folderPlugin() { return folder_.get(); }
  DesktopPlugin* reportPlugin() { return report_.get(); }

 private:
  Ref<korva::Session> session_;
  Ref<InfoStore> store_;
  Ref<DesktopPlugin> user_, folder_, report_;
};

// The values the engine gives a user, folder or report of the tree.
void fillUser(InfoObject* o) {
  check(o->setDescription(Bstr(wide(kUserDescription))), "setDescription");
  Ref<korva::UserObject> user;
  check(Ref<InfoObject>(o).query(&user), "UserObject");
  check(user->setFullName(Bstr(wide(kUserFullName))), "setFullName");
  check(user->setPassword(Bstr(wide(kUserPassword))), "setPassword");
  check(user->setPasswordOption1(VARIANT_FALSE), "setPasswordOption1");
  check(user->setPasswordOption2(VARIANT_FALSE), "setPasswordOption2");
  check(user->setPasswordOption3(VARIANT_FALSE), "setPasswordOption3");
  check(user->setLicenseType(1), "setLicenseType");
}

void fillReport(InfoObject* o, const std::string& path) {
  Ref<korva::ReportFiles> files;
  check(o->files(files.put()), "files");
  Ref<IUnknown> attached;
  check(files->addFile(Variant::fromString(wide(path)), 1, Variant(), attached.put()), "addFile");
  Ref<korva::ReportObject> report;
  check(Ref<InfoObject>(o).query(&report), "ReportObject");
  check(report->setThumbnail(VARIANT_TRUE), "setThumbnail");
  check(o->setDescription(Bstr(wide(kReportDescription))), "setDescription");
  check(o->setProperty(Bstr(L"SI_REPORTTYPE"), Variant::fromString(wide(kReportIcon))),
        "setProperty");
}

void setRight(FloorSession& s, int32_t folderId, int32_t userId) {
  Ref<InfoObjects> c;
  Ref<InfoObject> folder = s.byId(false, folderId, &c);
  Ref<korva::SecurityInfo> security;
  check(folder->securityInfo(security.put()), "securityInfo");
  Ref<korva::SecurityPrincipals> principals;
  check(security->principals(principals.put()), "principals");
  Ref<korva::SecurityPrincipal> principal;
  check(principals->addPrincipal(userId, principal.put()), "addPrincipal");
  check(principal->setRole(kUserRole), "setRole");
  check(s.store()->commit(c.get()), "commit");
}

template <typename Body>
int guarded(Body body) {
  try {
    body();
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "floor: %s\n", e.what());
    return 1;
  }
}

}  // namespace

int floorPublish(const std::string& aps, const std::string& dir, const TreeShape& shape,
                 const std::string& idFile, bool lookups) {
  return guarded([&] {
    FloorSession s(aps);
    const int16_t folderType = s.typeOf(s.folderPlugin());
    const int16_t reportType = s.typeOf(s.reportPlugin());
    const wchar_t* const kChildren = L"SELECT * FROM CI_INFOOBJECTS WHERE SI_PARENTID=";
    FloorIds ids;
    for (int u = 0; u < shape.users; ++u) {
      Ref<InfoObjects> c = s.empty(true);
      Ref<InfoObject> o;
      check(c->add(s.userPlugin(), o.put()), "add");
      check(o->setTitle(Bstr(wide(userName(u)))), "setTitle");
      fillUser(o.get());
      ids.users.push_back(s.commit(c.get(), o.get()));
    }
    for (int f = 0; f < shape.folders; ++f) {
      if (lookups) s.lookUp(kChildren, 0, folderType);
      Ref<InfoObjects> c = s.empty(false);
      Ref<InfoObject> o;
      check(c->add(s.folderPlugin(), o.put()), "add");
      check(o->setTitle(Bstr(wide(folderName(f)))), "setTitle");
      check(o->setProperty(Bstr(L"SI_PARENTID"), Variant::fromInt(0)), "setProperty");
      check(o->setDescription(Bstr(wide(folderDescription(f)))), "setDescription");
      const int32_t folderId = s.commit(c.get(), o.get());
      ids.folders.push_back(folderId);
      for (int32_t userId : ids.users) setRight(s, folderId, userId);
      ids.reports.emplace_back();
      for (int r = 0; r < shape.reportsPerFolder; ++r) {
        if (lookups) s.lookUp(kChildren, folderId, reportType);
        Ref<InfoObjects> rc = s.empty(false);
        Ref<InfoObject> ro;
        check(rc->add(s.reportPlugin(), ro.put()), "add");
        check(ro->setProperty(Bstr(L"SI_PARENTID"), Variant::fromInt(folderId)), "setProperty");
        check(ro->setTitle(Bstr(wide(reportTitle(f, r)))), "setTitle");
        fillReport(ro.get(), reportPath(dir, f, r));
        ids.reports.back().push_back(s.commit(rc.get(), ro.get()));
      }
    }
    ids.save(idFile);
  });
}

int floorUpdate(const std::string& aps, const std::string& dir, const TreeShape& shape,
                const std::string& idFile) {
  return guarded([&] {
    FloorIds ids;
    ids.load(idFile);
    FloorSession s(aps);
    for (int32_t id : ids.users) {
      Ref<InfoObjects> c;
      Ref<InfoObject> o = s.byId(true, id, &c);
      fillUser(o.get());
      s.commit(c.get(), o.get());
    }
    for (int f = 0; f < shape.folders && f < static_cast<int>(ids.folders.size()); ++f) {
      Ref<InfoObjects> c;
      Ref<InfoObject> o = s.byId(false, ids.folders[f], &c);
      check(o->setDescription(Bstr(wide(folderDescription(f)))), "setDescription");
      s.commit(c.get(), o.get());
      for (int32_t userId : ids.users) setRight(s, ids.folders[f], userId);
      for (int r = 0; r < static_cast<int>(ids.reports[f].size()); ++r) {
        Ref<InfoObjects> rc;
        Ref<InfoObject> ro = s.byId(false, ids.reports[f][r], &rc);
        fillReport(ro.get(), reportPath(dir, f, r));
        s.commit(rc.get(), ro.get());
      }
    }
  });
}

int floorDelete(const std::string& aps, const TreeShape&, const std::string& idFile, int f) {
  return guarded([&] {
    FloorIds ids;
    ids.load(idFile);
    if (f < 0 || f >= static_cast<int>(ids.folders.size())) {
      throw std::runtime_error("no folder " + std::to_string(f));
    }
    FloorSession s(aps);
    Ref<InfoObjects> c;
    Ref<InfoObject> o = s.byId(false, ids.folders[f], &c);
    check(c->remove(Variant::fromObject(o.get())), "remove");
    check(s.store()->commit(c.get()), "commit");
  });
}

}  // namespace bench
