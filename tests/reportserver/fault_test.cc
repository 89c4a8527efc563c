// Injected faults: every operation named in a plan fails with its
// description; "#n" picks one call; plans come from the environment or from
// the test, the test's winning.
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "tests/reportserver/server_fixture.h"

namespace korva_rs_test {
namespace {

// Everything an operation of the table may need, made before its plan is set.
struct Objects {
  Ref<korva::SessionManager> manager;
  Ref<korva::Session> session;
  Ref<IUnknown> service;
  Ref<korva::InfoStore> store;
  Ref<korva::PluginManager> pluginManager;
  Ref<korva::InfoObjects> pluginList;
  Ref<korva::DesktopPlugin> folderPlugin;
  Ref<korva::InfoObjects> folders;
  Ref<korva::InfoObject> folder;
  Ref<korva::InfoObjects> reports;
  Ref<korva::InfoObject> report;
  Ref<korva::ReportFiles> files;
  Ref<korva::InfoObjects> users;
  Ref<korva::InfoObject> user;
  Ref<korva::UserObject> userDetails;
  Ref<korva::ReportObject> reportDetails;
  Ref<korva::SecurityInfo> security;
  Ref<korva::SecurityPrincipals> principals;
  Ref<korva::SecurityPrincipal> principal;
  Ref<korva::ErrorSource> errorSource;
  Ref<korva::ErrorInfo> errorInfo;
};

class FaultTest : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    Connection c = connect();
    folderId_ = addFolder(c, L"F");
    file_ = writeFile("r.rpt", "r");
    addReport(c, L"R", folderId_, file_);
    addUser(c, L"Alice", L"");
  }

  Objects make() {
    Objects o;
    EXPECT_EQ(korva::createInstance(korva::CLSID_SessionManager, CLSCTX_ALL, &o.manager), S_OK);
    EXPECT_EQ(
        o.manager->logon(B(L"Administrator"), B(L""), B(L"localhost"), B(kAuth), o.session.put()),
        S_OK);
    EXPECT_EQ(o.session->getService(B(L""), B(L"InfoStore"), o.service.put()), S_OK);
    EXPECT_EQ(o.service.query(&o.store), S_OK);
    EXPECT_EQ(o.session->getPluginManager(o.pluginManager.put()), S_OK);
    EXPECT_EQ(o.pluginManager->getPlugins(B(L"Desktop"), o.pluginList.put()), S_OK);
    EXPECT_EQ(korva::itemAs(o.pluginList.get(), 1, &o.folderPlugin), S_OK);
    EXPECT_EQ(
        o.store->query(B(L"SELECT * FROM CI_INFOOBJECTS WHERE SI_PARENTID=0"), o.folders.put()),
        S_OK);
    EXPECT_EQ(korva::itemAs(o.folders.get(), 1, &o.folder), S_OK);
    std::wstring q =
        L"SELECT * FROM CI_INFOOBJECTS WHERE SI_PARENTID=" + std::to_wstring(folderId_);
    EXPECT_EQ(o.store->query(B(q), o.reports.put()), S_OK);
    EXPECT_EQ(korva::itemAs(o.reports.get(), 1, &o.report), S_OK);
    EXPECT_EQ(o.report->files(o.files.put()), S_OK);
    EXPECT_EQ(o.report.query(&o.reportDetails), S_OK);
    EXPECT_EQ(o.store->query(B(L"SELECT * FROM CI_SYSTEMOBJECTS"), o.users.put()), S_OK);
    EXPECT_EQ(korva::itemAs(o.users.get(), 2, &o.user), S_OK);
    EXPECT_EQ(o.user.query(&o.userDetails), S_OK);
    EXPECT_EQ(o.folder->securityInfo(o.security.put()), S_OK);
    EXPECT_EQ(o.security->principals(o.principals.put()), S_OK);
    EXPECT_EQ(o.principals->addPrincipal(7, o.principal.put()), S_OK);
    EXPECT_EQ(korva::createInstance(korva::CLSID_ErrorSource, CLSCTX_ALL, &o.errorSource), S_OK);
    EXPECT_EQ(o.errorSource->lastError(o.errorInfo.put()), S_OK);
    return o;
  }

  int32_t folderId_ = 0;
  std::string file_;
};

// Stands for an answer a row does not look at: converts to a pointer to a
// fresh value that lives until the end of the call's full expression, which
// then frees an answered text and releases an answered object.
class Unused {
 public:
  template <class T>
  operator T*() {
    std::shared_ptr<T> value(new T(), [](T* p) {
      drop(*p);
      delete p;
    });
    held_ = value;
    return value.get();
  }
  // The same for a template parameter, which a conversion cannot meet.
  template <class T>
  Ref<T>* ref() {
    return *this;
  }

 private:
  template <class T>
  static void drop(T& value) {
    if constexpr (std::is_same_v<T, BSTR>) {
      SysFreeString(value);
    } else if constexpr (std::is_pointer_v<T>) {
      if constexpr (std::is_base_of_v<IUnknown, std::remove_pointer_t<T>>) {
        if (value) value->Release();
      }
    }
  }

  std::shared_ptr<void> held_;
};

struct FaultCase {
  std::string operation;
  std::function<HRESULT(Objects&)> run;
};

TEST_F(FaultTest, EveryListedOperationFailsWithItsDescription) {
  const std::string file = file_;
  const std::vector<FaultCase> cases = {
      {"logon",
       [](Objects& o) {
         return o.manager->logon(B(L"Administrator"), B(L""), B(L"localhost"), B(kAuth), Unused());
       }},
      {"getService",
       [](Objects& o) { return o.session->getService(B(L""), B(L"InfoStore"), Unused()); }},
      {"getPluginManager", [](Objects& o) { return o.session->getPluginManager(Unused()); }},
      {"getPlugins",
       [](Objects& o) { return o.pluginManager->getPlugins(B(L"Desktop"), Unused()); }},
      {"query",
       [](Objects& o) { return o.store->query(B(L"SELECT * FROM CI_INFOOBJECTS"), Unused()); }},
      {"commit", [](Objects& o) { return o.store->commit(o.folders.get()); }},
      {"count", [](Objects& o) { return o.folders->count(Unused()); }},
      {"item", [](Objects& o) { return o.folders->item(Variant::fromInt(1), Unused()); }},
      {"add", [](Objects& o) { return o.folders->add(o.folderPlugin.get(), Unused()); }},
      {"remove", [](Objects& o) { return o.folders->remove(Variant::fromObject(o.folder.get())); }},
      {"setProperty",
       [](Objects& o) { return o.folder->setProperty(B(L"SI_PARENTID"), Variant::fromInt(0)); }},
      {"id", [](Objects& o) { return o.folder->id(Unused()); }},
      {"title", [](Objects& o) { return o.folder->title(Unused()); }},
      {"setTitle", [](Objects& o) { return o.folder->setTitle(B(L"x")); }},
      {"setDescription", [](Objects& o) { return o.folder->setDescription(B(L"x")); }},
      {"files", [](Objects& o) { return o.report->files(Unused()); }},
      {"securityInfo", [](Objects& o) { return o.folder->securityInfo(Unused()); }},
      {"typeId", [](Objects& o) { return o.folderPlugin->typeId(Unused()); }},
      {"name", [](Objects& o) { return o.folderPlugin->name(Unused()); }},
      {"setFullName", [](Objects& o) { return o.userDetails->setFullName(B(L"x")); }},
      {"setPasswordOption1",
       [](Objects& o) { return o.userDetails->setPasswordOption1(VARIANT_FALSE); }},
      {"setPasswordOption2",
       [](Objects& o) { return o.userDetails->setPasswordOption2(VARIANT_FALSE); }},
      {"setPasswordOption3",
       [](Objects& o) { return o.userDetails->setPasswordOption3(VARIANT_FALSE); }},
      {"setLicenseType", [](Objects& o) { return o.userDetails->setLicenseType(1); }},
      {"setPassword", [](Objects& o) { return o.userDetails->setPassword(B(L"x")); }},
      {"setThumbnail", [](Objects& o) { return o.reportDetails->setThumbnail(VARIANT_TRUE); }},
      {"addFile",
       [file](Objects& o) {
         return o.files->addFile(Variant::fromString(widen(file)), 1, Variant(), Unused());
       }},
      {"principals", [](Objects& o) { return o.security->principals(Unused()); }},
      {"addPrincipal", [](Objects& o) { return o.principals->addPrincipal(7, Unused()); }},
      {"setRole", [](Objects& o) { return o.principal->setRole(2); }},
      {"lastError", [](Objects& o) { return o.errorSource->lastError(Unused()); }},
      {"description", [](Objects& o) { return o.errorInfo->description(Unused()); }},
      {"queryInterface:InfoStore",
       [](Objects& o) { return o.service.query(Unused().ref<korva::InfoStore>()); }},
      {"queryInterface:UserObject",
       [](Objects& o) { return o.user.query(Unused().ref<korva::UserObject>()); }},
      {"queryInterface:ReportObject",
       [](Objects& o) { return o.report.query(Unused().ref<korva::ReportObject>()); }},
      {"queryInterface:Dispatch",
       [](Objects& o) { return o.folder.query(Unused().ref<IDispatch>()); }},
      {"create:SessionManager",
       [](Objects&) {
         return korva::createInstance(korva::CLSID_SessionManager, CLSCTX_ALL,
                                      Unused().ref<korva::SessionManager>());
       }},
      {"create:ErrorSource",
       [](Objects&) {
         return korva::createInstance(korva::CLSID_ErrorSource, CLSCTX_ALL,
                                      Unused().ref<korva::ErrorSource>());
       }},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.operation);
    Objects o = make();
    korva::clearLastErrorDescription();
    korva::setServerFaultPlan(c.operation);
    const bool isQuery = c.operation.rfind("queryInterface:", 0) == 0;
    EXPECT_EQ(c.run(o), isQuery ? E_NOINTERFACE : E_FAIL);
    EXPECT_EQ(korva::lastErrorDescription(),
              korva_rs_test::ServerTest::widen("Injected fault in " + c.operation + "."));
    // Only the listed operation fails: another plan lets it through.
    korva::setServerFaultPlan("someOtherOperation");
    EXPECT_TRUE(SUCCEEDED(c.run(o))) << lastError();
    korva::clearServerFaultPlan();
  }
}

TEST_F(FaultTest, NumberedEntriesFailOnlyThatCallCountedFromThePlan) {
  Objects o = make();
  korva::setServerFaultPlan("count#2, title#1");
  LONG n = 0;
  korva::Bstr t;
  EXPECT_EQ(o.folders->count(&n), S_OK);
  EXPECT_EQ(o.folder->title(t.put()), E_FAIL);
  EXPECT_EQ(lastError(), "Injected fault in title.");
  EXPECT_EQ(o.folders->count(&n), E_FAIL);
  EXPECT_EQ(lastError(), "Injected fault in count.");
  EXPECT_EQ(o.folders->count(&n), S_OK);
  EXPECT_EQ(o.folder->title(t.put()), S_OK);
  // Setting a plan starts the counts again.
  korva::setServerFaultPlan("count#1");
  EXPECT_EQ(o.folders->count(&n), E_FAIL);
  korva::setServerFaultPlan("count#1");
  EXPECT_EQ(o.folders->count(&n), E_FAIL);
  EXPECT_EQ(o.folders->count(&n), S_OK);
  // Entries that name no call are ignored.
  korva::setServerFaultPlan("count#0,count#x,,  ");
  EXPECT_EQ(o.folders->count(&n), S_OK);
}

TEST_F(FaultTest, TheEnvironmentPlanIsReadWhenASessionManagerIsCreated) {
  korva_test::setEnvironmentVariable("KORVA_SERVER_FAULTS", "query#2");
  Connection c = connect();  // creates a session manager: the plan takes effect
  Ref<korva::InfoObjects> list;
  EXPECT_EQ(c.store->query(B(L"SELECT * FROM CI_INFOOBJECTS"), list.put()), S_OK);
  // The same plan read again keeps counting across session managers.
  Connection again = connect();
  EXPECT_EQ(again.store->query(B(L"SELECT * FROM CI_INFOOBJECTS"), list.put()), E_FAIL);
  EXPECT_EQ(lastError(), "Injected fault in query.");
  EXPECT_EQ(again.store->query(B(L"SELECT * FROM CI_INFOOBJECTS"), list.put()), S_OK);

  // A plan set in the process wins, even an empty one.
  korva_test::setEnvironmentVariable("KORVA_SERVER_FAULTS", "logon");
  korva::setServerFaultPlan("");
  EXPECT_TRUE(logon(L"Administrator", L""));
  korva::clearServerFaultPlan();
  HRESULT hr = S_OK;
  EXPECT_FALSE(logon(L"Administrator", L"", L"localhost", &hr));
  EXPECT_EQ(hr, E_FAIL);
  EXPECT_EQ(lastError(), "Injected fault in logon.");
  korva_test::unsetEnvironmentVariable("KORVA_SERVER_FAULTS");
  EXPECT_TRUE(logon(L"Administrator", L""));
}

TEST_F(FaultTest, AFaultedCommitStoresNothing) {
  korva::setServerFaultPlan("setThumbnail,commit#2");
  Connection c = connect();
  const std::string before = dump();
  Ref<korva::InfoObjects> list = children(c, 0, "Folder");
  ASSERT_EQ(itemOf(list, 1)->setTitle(B(L"Changed")), S_OK);
  EXPECT_EQ(c.store->commit(list.get()), S_OK);  // commit #1
  const std::string changed = dump();
  EXPECT_NE(changed, before);
  ASSERT_EQ(itemOf(list, 1)->setTitle(B(L"Changed again")), S_OK);
  EXPECT_EQ(c.store->commit(list.get()), E_FAIL);  // commit #2
  EXPECT_EQ(dump(), changed);
  EXPECT_EQ(c.store->commit(list.get()), S_OK);  // still pending, stored now
  EXPECT_NE(dump().find("\"Changed again\""), std::string::npos);
}

// A commit that fails after the first of its changes and its history entry
// were written stores neither.
TEST_F(FaultTest, ACommitFailingHalfWayStoresNoChangeAndNoHistoryEntry) {
  Connection c = connect();
  const std::string before = dump();
  const int64_t entries = scalar("SELECT COUNT(*) FROM history");
  Ref<korva::InfoObjects> list = children(c, 0, "Folder");
  ASSERT_EQ(itemOf(list, 1)->setTitle(B(L"Changed")), S_OK);
  Ref<korva::InfoObject> added = newIn(c, list, "Folder");
  ASSERT_EQ(added->setTitle(B(L"Added")), S_OK);
  korva::setServerFaultPlan("recordHistory#2");
  EXPECT_EQ(c.store->commit(list.get()), E_FAIL);
  EXPECT_EQ(lastError(), "Nothing was committed. Injected fault in recordHistory.");
  EXPECT_EQ(dump(), before);
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM history"), entries);
  korva::clearServerFaultPlan();
  EXPECT_EQ(c.store->commit(list.get()), S_OK) << lastError();
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM history"), entries + 2);
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM objects WHERE title IN ('Changed', 'Added')"), 2);
}

}  // namespace
}  // namespace korva_rs_test
