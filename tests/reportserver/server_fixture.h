// Shared fixture of the embedded server's tests: a fresh server home per
// test (common/server_home_test.h), a repository "localhost" with the
// Administrator (no password), and helpers that drive the object model the
// way a client does.
//
// Thread-safety: tests run one at a time on one thread; the environment and
// the server's plans are process-wide.
// Ownership: the fixture owns the temporary home and removes it.
#ifndef KORVA_TESTS_REPORTSERVER_SERVER_FIXTURE_H_
#define KORVA_TESTS_REPORTSERVER_SERVER_FIXTURE_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "com/bstr.h"
#include "com/ref.h"
#include "com/variant.h"
#include "common/server_home_test.h"
#include "common/test_files.h"
#include "platform/com.h"
#include "reportserver/admin/repository_admin.h"
#include "reportserver/admin/repository_views.h"
#include "reportserver/store/repository.h"
#include "reportserver/store/server_home.h"
#include "reportserver/testing/fault_plan.h"
#include "server/report_server.h"

namespace korva_rs_test {

using korva::Bstr;
using korva::Ref;
using korva::Variant;

using korva_test_common::B;
using korva_test_common::readFile;
using korva_test_common::readText;

inline const wchar_t* const kAuth = L"secEnterprise";

class ServerTest : public korva_test_common::ServerHomeTest {
 protected:
  ServerTest() : ServerHomeTest("korva-rs-") {}

  void SetUp() override {
    ServerHomeTest::SetUp();
    if (HasFatalFailure()) return;
    std::string error;
    ASSERT_TRUE(korva::initRepository("localhost", "", &error)) << error;
  }

  // The description the error source gives for the calling thread.
  static std::string lastError() {
    Ref<korva::ErrorSource> source;
    if (FAILED(korva::createInstance(korva::CLSID_ErrorSource, CLSCTX_ALL, &source))) {
      return "<no error source>";
    }
    Ref<korva::ErrorInfo> info;
    if (FAILED(source->lastError(info.put()))) return "<no last error>";
    Bstr text;
    if (FAILED(info->description(text.put()))) return "<no description>";
    return narrow(text.str());
  }

  static std::string narrow(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w) s.push_back(c < 128 ? static_cast<char>(c) : '?');
    return s;
  }

  // Logs on and answers the session, or null with *hr set.
  static Ref<korva::Session> logon(const std::wstring& user, const std::wstring& password,
                                   const std::wstring& aps = L"localhost", HRESULT* hr = nullptr) {
    Ref<korva::SessionManager> manager;
    HRESULT result = korva::createInstance(korva::CLSID_SessionManager, CLSCTX_ALL, &manager);
    Ref<korva::Session> session;
    if (SUCCEEDED(result)) {
      result = manager->logon(B(user), B(password), B(aps), B(kAuth), session.put());
    }
    if (hr) *hr = result;
    return session;
  }

  static Ref<korva::InfoStore> infoStore(const Ref<korva::Session>& session) {
    Ref<IUnknown> service;
    Ref<korva::InfoStore> store;
    if (session && SUCCEEDED(session->getService(B(L""), B(L"InfoStore"), service.put()))) {
      service.query(&store);
    }
    return store;
  }

  // A connection as the Administrator (or another user).
  struct Connection {
    Ref<korva::Session> session;
    Ref<korva::InfoStore> store;
    std::map<std::string, Ref<korva::DesktopPlugin>> plugins;
    std::map<std::string, SHORT> types;
  };

  static Connection connect(const std::wstring& user = L"Administrator",
                            const std::wstring& password = L"") {
    Connection c;
    c.session = logon(user, password);
    EXPECT_TRUE(c.session) << lastError();
    if (!c.session) return c;
    c.store = infoStore(c.session);
    EXPECT_TRUE(c.store) << lastError();
    Ref<korva::PluginManager> manager;
    Ref<korva::InfoObjects> list;
    EXPECT_EQ(c.session->getPluginManager(manager.put()), S_OK);
    EXPECT_EQ(manager->getPlugins(B(L"Desktop"), list.put()), S_OK);
    LONG n = 0;
    EXPECT_EQ(list->count(&n), S_OK);
    for (LONG i = 1; i <= n; ++i) {
      Ref<korva::DesktopPlugin> plugin;
      EXPECT_EQ(korva::itemAs(list.get(), i, &plugin), S_OK);
      Bstr name;
      SHORT type = 0;
      plugin->name(name.put());
      plugin->typeId(&type);
      c.plugins[narrow(name.str())] = plugin;
      c.types[narrow(name.str())] = type;
    }
    return c;
  }

  static Ref<korva::InfoObjects> query(Connection& c, const std::wstring& text) {
    Ref<korva::InfoObjects> result;
    EXPECT_EQ(c.store->query(B(text), result.put()), S_OK) << lastError();
    return result;
  }

  static Ref<korva::InfoObjects> children(Connection& c, int32_t parent, const std::string& type) {
    return query(c, L"SELECT * FROM CI_INFOOBJECTS WHERE SI_PARENTID=" + std::to_wstring(parent) +
                        L" AND SI_OBTYPE=" + std::to_wstring(c.types[type]));
  }

  static Ref<korva::InfoObjects> users(Connection& c) {
    return query(
        c, L"SELECT * FROM CI_SYSTEMOBJECTS WHERE SI_OBTYPE=" + std::to_wstring(c.types["User"]));
  }

  static LONG countOf(const Ref<korva::InfoObjects>& objects) {
    LONG n = -1;
    if (objects) {
      EXPECT_EQ(objects->count(&n), S_OK);
    }
    return n;
  }

  static Ref<korva::InfoObject> itemOf(const Ref<korva::InfoObjects>& objects, LONG i) {
    Ref<korva::InfoObject> item;
    EXPECT_EQ(korva::itemAs(objects.get(), i, &item), S_OK) << lastError();
    return item;
  }

  static std::string titleOf(const Ref<korva::InfoObject>& object) {
    Bstr title;
    EXPECT_EQ(object->title(title.put()), S_OK) << lastError();
    return narrow(title.str());
  }

  static std::vector<std::string> titlesOf(const Ref<korva::InfoObjects>& objects) {
    std::vector<std::string> out;
    for (LONG i = 1; i <= countOf(objects); ++i) out.push_back(titleOf(itemOf(objects, i)));
    return out;
  }

  // The names of a plugin list's entries, in list order.
  static std::vector<std::string> pluginNamesOf(const Ref<korva::InfoObjects>& plugins) {
    std::vector<std::string> out;
    for (LONG i = 1; i <= countOf(plugins); ++i) {
      Ref<korva::DesktopPlugin> plugin;
      Bstr name;
      EXPECT_EQ(korva::itemAs(plugins.get(), i, &plugin), S_OK) << lastError();
      if (plugin) {
        EXPECT_EQ(plugin->name(name.put()), S_OK);
      }
      out.push_back(narrow(name.str()));
    }
    return out;
  }

  static LONG idOf(const Ref<korva::InfoObject>& object) {
    LONG id = -1;
    EXPECT_EQ(object->id(&id), S_OK) << lastError();
    return id;
  }

  // Adds a new object of the plugin's kind to the collection, pending.
  static Ref<korva::InfoObject> newIn(Connection& c, const Ref<korva::InfoObjects>& list,
                                      const std::string& kind) {
    Ref<korva::InfoObject> object;
    EXPECT_EQ(list->add(c.plugins[kind].get(), object.put()), S_OK) << lastError();
    return object;
  }

  // Adds a folder and commits it; answers its id.
  static int32_t addFolder(Connection& c, const std::wstring& title, int32_t parent = 0,
                           const std::wstring& description = L"") {
    Ref<korva::InfoObjects> list = children(c, parent, "Folder");
    Ref<korva::InfoObject> folder = newIn(c, list, "Folder");
    EXPECT_EQ(folder->setTitle(B(title)), S_OK);
    EXPECT_EQ(folder->setProperty(B(L"SI_PARENTID"), Variant::fromInt(parent)), S_OK);
    if (!description.empty()) {
      EXPECT_EQ(folder->setDescription(B(description)), S_OK);
    }
    EXPECT_EQ(c.store->commit(list.get()), S_OK) << lastError();
    return idOf(folder);
  }

  // Adds a report with the file (none when empty), lets `configure` set more
  // on it, and commits it; answers its id.
  static int32_t addReport(
      Connection& c, const std::wstring& title, int32_t parent, const std::string& file,
      const std::function<void(Ref<korva::InfoObject>&)>& configure = nullptr) {
    Ref<korva::InfoObjects> list = children(c, parent, "Report");
    Ref<korva::InfoObject> report = newIn(c, list, "Report");
    EXPECT_EQ(report->setProperty(B(L"SI_PARENTID"), Variant::fromInt(parent)), S_OK);
    EXPECT_EQ(report->setTitle(B(title)), S_OK);
    if (!file.empty()) {
      Ref<korva::ReportFiles> files;
      Ref<IUnknown> added;
      EXPECT_EQ(report->files(files.put()), S_OK);
      EXPECT_EQ(files->addFile(Variant::fromString(widen(file)), 1, Variant(), added.put()), S_OK)
          << lastError();
    }
    if (configure) configure(report);
    EXPECT_EQ(c.store->commit(list.get()), S_OK) << lastError();
    return idOf(report);
  }

  // Adds a user and commits it; answers its id.
  static int32_t addUser(Connection& c, const std::wstring& name, const std::wstring& password) {
    Ref<korva::InfoObjects> list = users(c);
    Ref<korva::InfoObject> user = newIn(c, list, "User");
    Ref<korva::UserObject> details;
    EXPECT_EQ(user->setTitle(B(name)), S_OK);
    EXPECT_EQ(user.query(&details), S_OK);
    if (!password.empty()) {
      EXPECT_EQ(details->setPassword(B(password)), S_OK);
    }
    EXPECT_EQ(c.store->commit(list.get()), S_OK) << lastError();
    return idOf(user);
  }

  // The principals of the object's security information, or null.
  static Ref<korva::SecurityPrincipals> principalsOf(const Ref<korva::InfoObject>& object) {
    Ref<korva::SecurityInfo> security;
    Ref<korva::SecurityPrincipals> principals;
    EXPECT_EQ(object->securityInfo(security.put()), S_OK) << lastError();
    if (security) {
      EXPECT_EQ(security->principals(principals.put()), S_OK) << lastError();
    }
    return principals;
  }

  // Grants the role on the object through the given connection and commits.
  static HRESULT grant(Connection& c, int32_t objectId, int32_t userId, int32_t role) {
    Ref<korva::InfoObjects> list =
        query(c, L"SELECT * FROM CI_INFOOBJECTS WHERE SI_ID=" + std::to_wstring(objectId));
    EXPECT_EQ(countOf(list), 1);
    Ref<korva::SecurityPrincipals> principals = principalsOf(itemOf(list, 1));
    if (!principals) return E_FAIL;
    Ref<korva::SecurityPrincipal> principal;
    EXPECT_EQ(principals->addPrincipal(userId, principal.put()), S_OK);
    HRESULT hr = principal->setRole(role);
    if (FAILED(hr)) return hr;
    return c.store->commit(list.get());
  }

  static std::wstring widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

  std::string writeFile(const std::string& name, const std::string& content) {
    std::filesystem::path p = home_ / name;
    std::ofstream(p, std::ios::binary) << content;
    return p.string();
  }

  std::string repositoryPath(const std::string& aps = "localhost") const {
    return (home_ / (aps + ".db")).string();
  }

  // The first column of the first row the SQL answers on the repository, or -1.
  int64_t scalar(const std::string& sql) const {
    korva::Database db;
    std::string error;
    EXPECT_TRUE(korva::openRepository(repositoryPath(), &db, &error)) << error;
    korva::Statement st(db, sql.c_str());
    return st.step() == SQLITE_ROW ? st.columnInt(0) : -1;
  }

  std::string dump() {
    std::string json, error;
    EXPECT_TRUE(korva::viewLocalRepository("localhost", korva::dumpRepository, &json, &error))
        << error;
    return json;
  }
};

}  // namespace korva_rs_test

#endif  // KORVA_TESTS_REPORTSERVER_SERVER_FIXTURE_H_
