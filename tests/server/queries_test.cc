// The client's queries and lookups against the embedded server: the closing
// line before the detail text, 202 for a count other than one, 203 for a
// query text that cannot be built, case-sensitive first-match lookups, and
// the folder and report lookups by name under a parent.
#include <string>

#include "server_test_util.h"

namespace {

using korva::InfoObject;
using korva::InfoObjects;
using korva::Ref;
using namespace korva_test;

class QueriesTest : public ConnectedClientTest {
 protected:
  void populate() override {
    bool overwrite = false;
    ASSERT_EQ(client().addFolder("Sales", "", &overwrite, 0, &salesId), kStatusOk);
    ASSERT_EQ(client().addReport("Q1", "", "", reportFile("q1.rpt").c_str(), true, &overwrite,
                                 salesId, &q1Id),
              kStatusOk);
    Ref<InfoObject> admin;
    Ref<InfoObjects> users;
    ASSERT_EQ(client().querySystemObjectsByType(client().userTypeId(), &users), kStatusOk);
    ASSERT_EQ(client().findByName(korva_test::kAdmin, users.get(), &admin), kStatusOk);
    ASSERT_TRUE(admin);
    ASSERT_GE(admin->id(&adminId), 0);
  }

  // Adds a folder through a session of its own, bypassing the client's
  // lookup, so that two folders under one parent can share a title.
  int32_t addFolderDirectly(const std::wstring& title, int32_t parent) {
    using namespace korva;
    Ref<SessionManager> manager;
    Ref<Session> session;
    Ref<IUnknown> service;
    Ref<InfoStore> store;
    Ref<PluginManager> plugins;
    Ref<InfoObjects> list;
    LONG count = 0;
    EXPECT_GE(createInstance(CLSID_SessionManager, CLSCTX_ALL, &manager), 0);
    EXPECT_GE(manager->logon(B(L"Administrator"), B(L"s3cret"), B(L"testaps"), B(L"secEnterprise"),
                             session.put()),
              0);
    EXPECT_GE(session->getService(B(L""), B(L"InfoStore"), service.put()), 0);
    EXPECT_GE(service.query(&store), 0);
    EXPECT_GE(session->getPluginManager(plugins.put()), 0);
    EXPECT_GE(plugins->getPlugins(B(L"Desktop"), list.put()), 0);
    EXPECT_GE(list->count(&count), 0);
    Ref<DesktopPlugin> folderPlugin;
    for (LONG i = 1; i <= count; ++i) {
      Ref<DesktopPlugin> plugin;
      Bstr name;
      EXPECT_GE(itemAs(list.get(), i, &plugin), 0);
      EXPECT_GE(plugin->name(name.put()), 0);
      if (name.str() == L"Folder") folderPlugin = plugin;
    }
    Ref<InfoObjects> folders;
    Ref<InfoObject> folder;
    LONG id = -1;
    EXPECT_GE(store->query(B(L"SELECT * FROM CI_INFOOBJECTS WHERE SI_ID=0"), folders.put()), 0);
    EXPECT_GE(folders->add(folderPlugin.get(), folder.put()), 0);
    EXPECT_GE(folder->setTitle(B(title)), 0);
    EXPECT_GE(folder->setProperty(B(L"SI_PARENTID"), Variant::fromInt(parent)), 0);
    EXPECT_GE(store->commit(folders.get()), 0);
    EXPECT_GE(folder->id(&id), 0);
    return id;
  }

  int32_t salesId = -1;
  int32_t q1Id = -1;
  LONG adminId = -1;
};

TEST_F(QueriesTest, QueryFailuresWriteTheClosingLineBeforeTheDetailText) {
  const std::string folderType = this->folderType();
  const std::string userType = this->userType();
  Ref<InfoObjects> list;
  Ref<InfoObject> object;
  auto bySystemType = [&] {
    return client().querySystemObjectsByType(client().userTypeId(), &list);
  };
  auto children = [&] { return client().queryChildren(client().folderTypeId(), 0, &list); };
  auto negativeParent = [&] { return client().queryChildren(client().folderTypeId(), -5, &list); };
  auto infoById = [&] { return client().getInfoObjectById(salesId, &object, &list); };
  auto systemById = [&] { return client().getSystemObjectById(adminId, &object, &list); };
  const std::string infoClosing =
      E("Failed to obtain the info object with id " + num(salesId) + ".");
  const std::string systemClosing =
      E("Failed to obtain the system object with id " + num(adminId) + ".");
  runCases({
      {"querySystemObjectsByType", "query", bySystemType,
       join({{E("Failed to obtain the list of system objects of type " + userType + ".")},
             detail("query")}),
       kStatusServer},
      {"queryChildren", "query", children,
       join({{E("Failed to obtain the list of info objects of type " + folderType +
                " belonging to parent 0.")},
             detail("query")}),
       kStatusServer},
      {"queryChildren", "query", negativeParent,
       join({{E("Failed to obtain the list of info objects of type " + folderType +
                " belonging to parent -5.")},
             detail("query")}),
       kStatusServer},
      {"getInfoObjectById", "query", infoById, join({{infoClosing}, detail("query")}),
       kStatusServer},
      {"getInfoObjectById", "count", infoById, join({{infoClosing}, detail("count")}),
       kStatusServer},
      {"getInfoObjectById", "item", infoById, join({{infoClosing}, detail("item")}), kStatusServer},
      {"getSystemObjectById", "query", systemById, join({{systemClosing}, detail("query")}),
       kStatusServer},
      {"getSystemObjectById", "count", systemById, join({{systemClosing}, detail("count")}),
       kStatusServer},
      {"getSystemObjectById", "item", systemById, join({{systemClosing}, detail("item")}),
       kStatusServer},
  });
  EXPECT_FALSE(object);
}

TEST_F(QueriesTest, AnIdThatIsNotThereIsALogicalFailureWithoutDetail) {
  Ref<InfoObjects> list;
  Ref<InfoObject> object;
  runCases({
      {"getInfoObjectById",
       "",
       [&] { return client().getInfoObjectById(999999, &object, &list); },
       {E("Failed to obtain the info object with id 999999.")},
       kStatusLogical},
      // A user is a system object, not an info object, and the other way round.
      {"getInfoObjectById",
       "",
       [&] { return client().getInfoObjectById(adminId, &object, &list); },
       {E("Failed to obtain the info object with id " + num(adminId) + ".")},
       kStatusLogical},
      {"getSystemObjectById",
       "",
       [&] { return client().getSystemObjectById(-3, &object, &list); },
       {E("Failed to obtain the system object with id -3.")},
       kStatusLogical},
  });
  EXPECT_FALSE(object);
}

TEST_F(QueriesTest, ObjectsByIdComeBackWithTheirCollection) {
  Ref<InfoObjects> list;
  Ref<InfoObject> object;
  ASSERT_EQ(client().getInfoObjectById(q1Id, &object, &list), kStatusOk);
  ASSERT_TRUE(object);
  ASSERT_TRUE(list);
  korva::Bstr title;
  ASSERT_GE(object->title(title.put()), 0);
  EXPECT_EQ(title.str(), L"Q1");
  LONG count = 0;
  ASSERT_GE(list->count(&count), 0);
  EXPECT_EQ(count, 1);

  ASSERT_EQ(client().getSystemObjectById(adminId, &object, &list), kStatusOk);
  ASSERT_GE(object->title(title.put()), 0);
  EXPECT_EQ(title.str(), L"Administrator");
  EXPECT_EQ(takeLines(), Lines{});
}

// Out of memory while the text is built: the list of system objects fails as
// an unexpected exception (202, no suffix), the other three builders as out
// of memory (203).
TEST_F(QueriesTest, AQueryTextThatCannotBeBuiltFailsTheQuery) {
  Ref<InfoObjects> list;
  Ref<InfoObject> object;
  struct Row {
    std::function<int()> run;
    std::string closing;
    int status;
  };
  const std::string outOfMemory = " Out of memory.";
  const Row rows[] = {
      {[&] { return client().querySystemObjectsByType(client().userTypeId(), &list); },
       E("Failed to obtain the list of system objects of type " + userType() + "."),
       kStatusLogical},
      {[&] { return client().queryChildren(client().folderTypeId(), 0, &list); },
       E("Failed to obtain the list of info objects of type " + folderType() +
         " belonging to parent 0." + outOfMemory),
       kStatusOutOfMemory},
      {[&] { return client().getSystemObjectById(adminId, &object, &list); },
       E("Failed to obtain the system object with id " + num(adminId) + "." + outOfMemory),
       kStatusOutOfMemory},
      {[&] { return client().getInfoObjectById(salesId, &object, &list); },
       E("Failed to obtain the info object with id " + num(salesId) + "." + outOfMemory),
       kStatusOutOfMemory},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.closing);
    sstringFailAllocationAt(1);
    const int status = row.run();
    sstringFailAllocationAt(0);
    EXPECT_EQ(status, row.status);
    EXPECT_EQ(takeLines(), Lines{row.closing});
  }
}

TEST_F(QueriesTest, NegativeNumbersKeepTheirSign) {
  Ref<InfoObjects> list;
  ASSERT_EQ(client().queryChildren(client().folderTypeId(), -5, &list), kStatusOk);
  LONG count = -1;
  ASSERT_GE(list->count(&count), 0);
  EXPECT_EQ(count, 0);
  ASSERT_EQ(client().queryChildren(client().folderTypeId(), 0, &list), kStatusOk);
  ASSERT_GE(list->count(&count), 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(takeLines(), Lines{});
}

TEST_F(QueriesTest, FindByNameIsExactCaseSensitiveAndTakesTheFirstMatch) {
  const int32_t first = addFolderDirectly(L"Twin", 0);
  const int32_t second = addFolderDirectly(L"Twin", 0);
  ASSERT_LT(first, second);
  Ref<InfoObjects> folders;
  ASSERT_EQ(client().queryChildren(client().folderTypeId(), 0, &folders), kStatusOk);

  Ref<InfoObject> found;
  ASSERT_EQ(client().findByName("Twin", folders.get(), &found), kStatusOk);
  ASSERT_TRUE(found);
  LONG id = -1;
  ASSERT_GE(found->id(&id), 0);
  EXPECT_EQ(id, first);

  for (const char* other : {"twin", "TWIN", "Twi", "Twin ", "Sale", ""}) {
    SCOPED_TRACE(other);
    EXPECT_EQ(client().findByName(other, folders.get(), &found), kStatusOk);
    EXPECT_FALSE(found);
  }

  Ref<InfoObjects> empty;
  ASSERT_EQ(client().queryChildren(client().folderTypeId(), -5, &empty), kStatusOk);
  EXPECT_EQ(client().findByName("Sales", empty.get(), &found), kStatusOk);
  EXPECT_FALSE(found);

  int32_t folder = -1;
  EXPECT_EQ(client().getFolder("Twin", 0, &folder), kStatusOk);
  EXPECT_EQ(folder, first);
  EXPECT_EQ(takeLines(), Lines{});
}

TEST_F(QueriesTest, FindByNameFailures) {
  Ref<InfoObjects> folders;
  ASSERT_EQ(client().queryChildren(client().folderTypeId(), 0, &folders), kStatusOk);
  Ref<InfoObject> found;
  auto run = [&] { return client().findByName("Sales", folders.get(), &found); };
  const std::string closing = E("Failed to obtain the info object with name Sales.");
  runCases({
      {"findByName", "count", run, join({{closing}, detail("count")}), kStatusServer},
      {"findByName", "item", run, join({{closing}, detail("item")}), kStatusServer},
      {"findByName", "title", run, join({{closing}, detail("title")}), kStatusServer},
  });
  EXPECT_FALSE(found);
}

TEST_F(QueriesTest, GetFolderAndGetReportAnswerTheIdUnderTheParent) {
  int32_t id = -1;
  EXPECT_EQ(client().getFolder("Sales", 0, &id), kStatusOk);
  EXPECT_EQ(id, salesId);
  EXPECT_EQ(client().getReport("Q1", salesId, &id), kStatusOk);
  EXPECT_EQ(id, q1Id);
  EXPECT_EQ(takeLines(), Lines{});

  id = 42;
  EXPECT_EQ(client().getReport("Q1", 0, &id), kStatusLogical);
  EXPECT_EQ(client().getFolder("sales", 0, &id), kStatusLogical);
  EXPECT_EQ(id, 42);
  EXPECT_EQ(takeLines(), (Lines{E("Failed to get report Q1 as the report does not exist."),
                                E("Failed to get report Q1 from Veltrane Enterprise."),
                                E("Failed to get folder sales as the folder does not exist."),
                                E("Failed to get folder sales from Veltrane Enterprise.")}));
}

TEST_F(QueriesTest, GetFolderAndGetReportFailures) {
  int32_t id = -1;
  auto folder = [&] { return client().getFolder("Sales", 0, &id); };
  auto report = [&] { return client().getReport("Q1", salesId, &id); };
  const Steps folderStep{"getFolder", folder,
                         E("Failed to get folder Sales from Veltrane Enterprise.")};
  const Steps reportStep{"getReport", report,
                         E("Failed to get report Q1 from Veltrane Enterprise.")};
  runCases({
      folderStep("query",
                 "Failed to obtain the list of info objects of type " + folderType() +
                     " belonging to parent 0.",
                 kStatusLogical),
      folderStep("count", "Failed to obtain the info object with name Sales.", kStatusLogical),
      folderStep("id", "Failed to obtain id of the folder Sales.", kStatusServer),
      reportStep("query",
                 "Failed to obtain the list of info objects of type " + reportType() +
                     " belonging to parent " + num(salesId) + ".",
                 kStatusLogical),
      reportStep("title", "Failed to obtain the info object with name Q1.", kStatusLogical),
      reportStep("id", "Failed to obtain id of the report Q1.", kStatusServer),
  });
  EXPECT_EQ(id, -1);
}

}  // namespace
