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

#include "common/server_home_test.h"
#include "platform/com.h"
#include "reportserver/fault_plan.h"
#include "reportserver/repository.h"
#include "reportserver/repository_admin.h"
#include "reportserver/server_home.h"
#include "server/report_server.h"

namespace korva_rs_test {

using korva::Ref;
using korva::Variant;

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
    if (korva::failed(korva::createInstance(korva::kCLSID_ErrorSource, &source))) {
      return "<no error source>";
    }
    Ref<korva::ErrorInfo> info;
    if (korva::failed(source->lastError(&info))) return "<no last error>";
    std::wstring text;
    if (korva::failed(info->description(&text))) return "<no description>";
    return narrow(text);
  }

  static std::string narrow(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w) s.push_back(c < 128 ? static_cast<char>(c) : '?');
    return s;
  }

  // Logs on and answers the session, or null with *hr set.
  static Ref<korva::Session> logon(const std::wstring& user, const std::wstring& password,
                                   const std::wstring& aps = L"localhost",
                                   korva::HRESULT* hr = nullptr) {
    Ref<korva::SessionManager> manager;
    korva::HRESULT result = korva::createInstance(korva::kCLSID_SessionManager, &manager);
    Ref<korva::Session> session;
    if (korva::succeeded(result)) {
      result = manager->logon(user.c_str(), password.c_str(), aps.c_str(), kAuth, &session);
    }
    if (hr) *hr = result;
    return session;
  }

  static Ref<korva::InfoStore> infoStore(const Ref<korva::Session>& session) {
    Ref<korva::Unknown> service;
    Ref<korva::InfoStore> store;
    if (session && korva::succeeded(session->getService(L"", L"InfoStore", &service))) {
      service.query(&store);
    }
    return store;
  }

  // A connection as the Administrator (or another user).
  struct Connection {
    Ref<korva::Session> session;
    Ref<korva::InfoStore> store;
    std::map<std::string, Ref<korva::DesktopPlugin>> plugins;
    std::map<std::string, int16_t> types;
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
    EXPECT_EQ(c.session->getPluginManager(&manager), korva::S_OK);
    EXPECT_EQ(manager->getPlugins(L"Desktop", &list), korva::S_OK);
    int32_t n = 0;
    EXPECT_EQ(list->count(&n), korva::S_OK);
    for (int32_t i = 1; i <= n; ++i) {
      Ref<korva::InfoObject> item;
      Ref<korva::DesktopPlugin> plugin;
      EXPECT_EQ(list->item(Variant::fromInt(i), &item), korva::S_OK);
      EXPECT_EQ(item.query(&plugin), korva::S_OK);
      std::wstring name;
      int16_t type = 0;
      plugin->name(&name);
      plugin->typeId(&type);
      c.plugins[narrow(name)] = plugin;
      c.types[narrow(name)] = type;
    }
    return c;
  }

  static Ref<korva::InfoObjects> query(Connection& c, const std::wstring& text) {
    Ref<korva::InfoObjects> result;
    EXPECT_EQ(c.store->query(text.c_str(), &result), korva::S_OK) << lastError();
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

  static int32_t countOf(const Ref<korva::InfoObjects>& objects) {
    int32_t n = -1;
    if (objects) {
      EXPECT_EQ(objects->count(&n), korva::S_OK);
    }
    return n;
  }

  static Ref<korva::InfoObject> itemOf(const Ref<korva::InfoObjects>& objects, int32_t i) {
    Ref<korva::InfoObject> item;
    EXPECT_EQ(objects->item(Variant::fromInt(i), &item), korva::S_OK) << lastError();
    return item;
  }

  static std::vector<std::string> titlesOf(const Ref<korva::InfoObjects>& objects) {
    std::vector<std::string> out;
    for (int32_t i = 1; i <= countOf(objects); ++i) {
      std::wstring title;
      itemOf(objects, i)->title(&title);
      out.push_back(narrow(title));
    }
    return out;
  }

  static int32_t idOf(const Ref<korva::InfoObject>& object) {
    int32_t id = -1;
    EXPECT_EQ(object->id(&id), korva::S_OK) << lastError();
    return id;
  }

  // Adds a new object of the plugin's kind to the collection, pending.
  static Ref<korva::InfoObject> newIn(Connection& c, const Ref<korva::InfoObjects>& list,
                                      const std::string& kind) {
    Ref<korva::InfoObject> object;
    EXPECT_EQ(list->add(c.plugins[kind].get(), &object), korva::S_OK) << lastError();
    return object;
  }

  // Adds a folder and commits it; answers its id.
  static int32_t addFolder(Connection& c, const std::wstring& title, int32_t parent = 0,
                           const std::wstring& description = L"") {
    Ref<korva::InfoObjects> list = children(c, parent, "Folder");
    Ref<korva::InfoObject> folder = newIn(c, list, "Folder");
    EXPECT_EQ(folder->setTitle(title.c_str()), korva::S_OK);
    EXPECT_EQ(folder->setProperty(L"SI_PARENTID", Variant::fromInt(parent)), korva::S_OK);
    if (!description.empty()) {
      EXPECT_EQ(folder->setDescription(description.c_str()), korva::S_OK);
    }
    EXPECT_EQ(c.store->commit(list.get()), korva::S_OK) << lastError();
    return idOf(folder);
  }

  // Adds a report with the file (none when empty), lets `configure` set more
  // on it, and commits it; answers its id.
  static int32_t addReport(
      Connection& c, const std::wstring& title, int32_t parent, const std::string& file,
      const std::function<void(Ref<korva::InfoObject>&)>& configure = nullptr) {
    Ref<korva::InfoObjects> list = children(c, parent, "Report");
    Ref<korva::InfoObject> report = newIn(c, list, "Report");
    EXPECT_EQ(report->setProperty(L"SI_PARENTID", Variant::fromInt(parent)), korva::S_OK);
    EXPECT_EQ(report->setTitle(title.c_str()), korva::S_OK);
    if (!file.empty()) {
      Ref<korva::ReportFiles> files;
      Ref<korva::Unknown> added;
      EXPECT_EQ(report->files(&files), korva::S_OK);
      EXPECT_EQ(files->addFile(Variant::fromString(widen(file)), 1, Variant(), &added), korva::S_OK)
          << lastError();
    }
    if (configure) configure(report);
    EXPECT_EQ(c.store->commit(list.get()), korva::S_OK) << lastError();
    return idOf(report);
  }

  // Adds a user and commits it; answers its id.
  static int32_t addUser(Connection& c, const std::wstring& name, const std::wstring& password) {
    Ref<korva::InfoObjects> list = users(c);
    Ref<korva::InfoObject> user = newIn(c, list, "User");
    Ref<korva::UserObject> details;
    EXPECT_EQ(user->setTitle(name.c_str()), korva::S_OK);
    EXPECT_EQ(user.query(&details), korva::S_OK);
    if (!password.empty()) {
      EXPECT_EQ(details->setPassword(password.c_str()), korva::S_OK);
    }
    EXPECT_EQ(c.store->commit(list.get()), korva::S_OK) << lastError();
    return idOf(user);
  }

  // The principals of the object's security information, or null.
  static Ref<korva::SecurityPrincipals> principalsOf(const Ref<korva::InfoObject>& object) {
    Ref<korva::SecurityInfo> security;
    Ref<korva::SecurityPrincipals> principals;
    EXPECT_EQ(object->securityInfo(&security), korva::S_OK) << lastError();
    if (security) {
      EXPECT_EQ(security->principals(&principals), korva::S_OK) << lastError();
    }
    return principals;
  }

  // Grants the role on the object through the given connection and commits.
  static korva::HRESULT grant(Connection& c, int32_t objectId, int32_t userId, int32_t role) {
    Ref<korva::InfoObjects> list =
        query(c, L"SELECT * FROM CI_INFOOBJECTS WHERE SI_ID=" + std::to_wstring(objectId));
    EXPECT_EQ(countOf(list), 1);
    Ref<korva::SecurityPrincipals> principals = principalsOf(itemOf(list, 1));
    if (!principals) return korva::E_FAIL;
    Ref<korva::SecurityPrincipal> principal;
    EXPECT_EQ(principals->addPrincipal(userId, &principal), korva::S_OK);
    korva::HRESULT hr = principal->setRole(role);
    if (korva::failed(hr)) return hr;
    return c.store->commit(list.get());
  }

  static std::wstring widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

  std::string writeFile(const std::string& name, const std::string& content) {
    std::filesystem::path p = home_ / name;
    std::ofstream(p, std::ios::binary) << content;
    return p.string();
  }

  static std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
    EXPECT_TRUE(korva::dumpRepository("localhost", &json, &error)) << error;
    return json;
  }
};

}  // namespace korva_rs_test

#endif  // KORVA_TESTS_REPORTSERVER_SERVER_FIXTURE_H_
