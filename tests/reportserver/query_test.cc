// Queries: the grammar accepted and refused, system objects apart from info
// objects, results in id order, and every change committed since (by any
// connection) in the next answer of a session.
#include <functional>
#include <string>
#include <vector>

#include "reportserver/store/store_session.h"
#include "tests/reportserver/server_fixture.h"

namespace korva_rs_test {
namespace {

using Titles = std::vector<std::string>;

class QueryTest : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    c_ = connect();
    a_ = addFolder(c_, L"A");
    b_ = addFolder(c_, L"B");
    sub_ = addFolder(c_, L"Sub", a_);
    std::string file = writeFile("r.rpt", "r");
    report_ = addReport(c_, L"R", a_, file);
    last_ = addFolder(c_, L"0 last");  // first by title, last by id
    alice_ = addUser(c_, L"Alice", L"");
  }

  std::wstring n(int32_t v) { return std::to_wstring(v); }

  Connection c_;
  int32_t a_ = 0, b_ = 0, sub_ = 0, report_ = 0, last_ = 0, alice_ = 0;
};

TEST_F(QueryTest, AcceptedQueriesAnswerInIdOrder) {
  const std::wstring folder = n(c_.types["Folder"]);
  const std::wstring report = n(c_.types["Report"]);
  const std::wstring user = n(c_.types["User"]);
  struct Case {
    std::wstring text;
    Titles titles;
  };
  const std::vector<Case> cases = {
      {L"SELECT * FROM CI_INFOOBJECTS", {"A", "B", "Sub", "R", "0 last"}},
      {L"SELECT * FROM CI_SYSTEMOBJECTS", {"Administrator", "Alice"}},
      {L"SELECT * FROM CI_SYSTEMOBJECTS WHERE SI_OBTYPE=" + user, {"Administrator", "Alice"}},
      {L"SELECT * FROM CI_INFOOBJECTS WHERE SI_PARENTID=0 AND SI_OBTYPE=" + folder,
       {"A", "B", "0 last"}},
      {L"SELECT * FROM CI_INFOOBJECTS WHERE SI_PARENTID=" + n(a_) + L" AND SI_OBTYPE=" + report,
       {"R"}},
      {L"SELECT * FROM CI_INFOOBJECTS WHERE SI_PARENTID=" + n(a_), {"Sub", "R"}},
      {L"SELECT * FROM CI_INFOOBJECTS WHERE SI_PARENTID=-1 AND SI_OBTYPE=1", {}},
      {L"SELECT * FROM CI_INFOOBJECTS WHERE SI_ID=" + n(sub_), {"Sub"}},
      {L"select * from ci_infoobjects where si_id = " + n(sub_), {"Sub"}},
      {L"  SELECT\t*  FROM CI_INFOOBJECTS\n WHERE SI_ID=+" + n(b_) + L"  ", {"B"}},
      {L"SELECT * FROM CI_INFOOBJECTS WHERE SI_ID=" + n(a_) + L" AND SI_ID=" + n(b_), {}},
      {L"SELECT * FROM CI_SYSTEMOBJECTS WHERE SI_ID=" + n(alice_), {"Alice"}},
      // Users are not info objects, folders are not system objects.
      {L"SELECT * FROM CI_INFOOBJECTS WHERE SI_ID=" + n(alice_), {}},
      {L"SELECT * FROM CI_SYSTEMOBJECTS WHERE SI_ID=" + n(a_), {}},
      {L"SELECT * FROM CI_INFOOBJECTS WHERE SI_OBTYPE=" + user, {}},
      {L"SELECT * FROM CI_INFOOBJECTS WHERE SI_ID=2147483647", {}},
      {L"SELECT * FROM CI_INFOOBJECTS WHERE SI_ID=-2147483648", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(narrow(c.text));
    Ref<korva::InfoObjects> result;
    ASSERT_EQ(c_.store->query(B(c.text), result.put()), S_OK) << lastError();
    EXPECT_EQ(titlesOf(result), c.titles);
  }
  Ref<korva::InfoObjects> all = query(c_, L"SELECT * FROM CI_INFOOBJECTS");
  std::vector<int32_t> ids;
  for (int32_t i = 1; i <= countOf(all); ++i) ids.push_back(idOf(itemOf(all, i)));
  EXPECT_EQ(ids, (std::vector<int32_t>{a_, b_, sub_, report_, last_}));
  EXPECT_GT(a_, 0);
}

// The session keeps what its queries read; a change committed in between,
// through this session or through another connection, is in the next answer.
TEST_F(QueryTest, TheNextQueryShowsWhatWasCommittedMeanwhile) {
  Connection other = connect();
  // Changes the object through a collection of its own and commits it.
  auto change =
      [](Connection& c, int32_t id,
         const std::function<void(Ref<korva::InfoObjects>&, Ref<korva::InfoObject>&)>& body) {
        Ref<korva::InfoObjects> list =
            query(c, L"SELECT * FROM CI_INFOOBJECTS WHERE SI_ID=" + std::to_wstring(id));
        Ref<korva::InfoObject> object = itemOf(list, 1);
        body(list, object);
        EXPECT_EQ(c.store->commit(list.get()), S_OK) << lastError();
      };
  auto retitle = [&](Connection& c, int32_t id, const wchar_t* title) {
    change(c, id, [&](auto&, auto& o) { EXPECT_EQ(o->setTitle(B(title)), S_OK); });
  };
  auto move = [&](Connection& c, int32_t id, int32_t parent) {
    change(c, id, [&](auto&, auto& o) {
      EXPECT_EQ(o->setProperty(B(L"SI_PARENTID"), Variant::fromInt(parent)), S_OK);
    });
  };
  auto drop = [&](Connection& c, int32_t id) {
    change(c, id, [&](auto& list, auto& o) {
      EXPECT_EQ(list->remove(Variant::fromObject(o.get())), S_OK);
    });
  };
  struct Case {
    const char* what;
    std::function<void()> commit;
    Titles top;  // the folders at the top level afterwards
  };
  const std::vector<Case> cases = {
      {"another connection adds", [&] { addFolder(other, L"C"); }, {"A", "B", "0 last", "C"}},
      {"another connection retitles",
       [&] { retitle(other, b_, L"B2"); },
       {"A", "B2", "0 last", "C"}},
      {"another connection moves up",
       [&] { move(other, sub_, 0); },
       {"A", "B2", "Sub", "0 last", "C"}},
      {"another connection removes", [&] { drop(other, last_); }, {"A", "B2", "Sub", "C"}},
      {"this session adds", [&] { addFolder(c_, L"D"); }, {"A", "B2", "Sub", "C", "D"}},
      {"this session retitles", [&] { retitle(c_, a_, L"A2"); }, {"A2", "B2", "Sub", "C", "D"}},
      {"this session moves down", [&] { move(c_, sub_, a_); }, {"A2", "B2", "C", "D"}},
      {"this session removes", [&] { drop(c_, b_); }, {"A2", "C", "D"}},
  };
  Ref<korva::InfoObjects> first = children(c_, 0, "Folder");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Ref<korva::InfoObjects> before = children(c_, 0, "Folder");
    ASSERT_NO_FATAL_FAILURE(c.commit());
    EXPECT_EQ(titlesOf(children(c_, 0, "Folder")), c.top);
  }
  // A collection shows what its query read, whatever came after.
  EXPECT_EQ(titlesOf(first), (Titles{"A", "B", "0 last"}));
  EXPECT_EQ(titlesOf(children(c_, a_, "Folder")), (Titles{"Sub"}));
  addUser(other, L"Bob", L"");
  EXPECT_EQ(titlesOf(users(c_)), (Titles{"Administrator", "Alice", "Bob"}));
}

// The objects of a released collection that nothing else holds serve the
// next query of the same folder: without the changes left uncommitted, and
// never the ones a client still holds.
TEST_F(QueryTest, AnotherQueryOfTheSameFolderStartsAfresh) {
  Ref<korva::InfoObject> held;
  {
    Ref<korva::InfoObjects> list = children(c_, 0, "Folder");
    held = itemOf(list, 1);
    ASSERT_EQ(itemOf(list, 2)->setTitle(B(L"Left pending")), S_OK);
  }
  Ref<korva::InfoObjects> again = children(c_, 0, "Folder");
  EXPECT_EQ(titlesOf(again), (Titles{"A", "B", "0 last"}));
  EXPECT_NE(itemOf(again, 1).get(), held.get());
  EXPECT_EQ(held->setDescription(B(L"late")), E_FAIL);
  EXPECT_EQ(c_.store->commit(again.get()), S_OK);
  EXPECT_EQ(dump().find("Left pending"), std::string::npos);
}

TEST_F(QueryTest, OthersSeeOnlyWhatTheirRightsShow) {
  // NoAccess on A hides A and what lies in it; View on B shows B, and so
  // does the top level for "0 last", where Alice has no right.
  ASSERT_EQ(grant(c_, a_, alice_, 1), S_OK) << lastError();
  ASSERT_EQ(grant(c_, b_, alice_, 2), S_OK) << lastError();
  Connection alice = connect(L"Alice", L"");
  const std::wstring folder = n(c_.types["Folder"]);
  struct Case {
    std::wstring text;
    Titles alice;
    Titles administrator;
  };
  const std::vector<Case> cases = {
      {L"SELECT * FROM CI_INFOOBJECTS WHERE SI_PARENTID=0 AND SI_OBTYPE=" + folder,
       {"B", "0 last"},
       {"A", "B", "0 last"}},
      {L"SELECT * FROM CI_INFOOBJECTS WHERE SI_PARENTID=" + n(a_), {}, {"Sub", "R"}},
      {L"SELECT * FROM CI_INFOOBJECTS WHERE SI_ID=" + n(report_), {}, {"R"}},
      {L"SELECT * FROM CI_INFOOBJECTS", {"B", "0 last"}, {"A", "B", "Sub", "R", "0 last"}},
      {L"SELECT * FROM CI_SYSTEMOBJECTS", {"Administrator", "Alice"}, {"Administrator", "Alice"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
    EXPECT_EQ(titlesOf(query(alice, c.text)), c.alice);
    EXPECT_EQ(titlesOf(query(c_, c.text)), c.administrator);
  }
  // A right nearer to the object wins, and Alice's next answer shows it at once.
  ASSERT_EQ(grant(c_, sub_, alice_, 2), S_OK) << lastError();
  EXPECT_EQ(titlesOf(query(alice, L"SELECT * FROM CI_INFOOBJECTS WHERE SI_PARENTID=" + n(a_))),
            Titles{"Sub"});
}

// Collects what a report file read hands out.
struct CollectedFile : korva::ReportFileSink {
  korva::StoredFile file;
  std::string bytes;
  bool begin(const korva::StoredFile& f) override {
    file = f;
    return true;
  }
  bool write(const void* data, size_t size) override {
    bytes.append(static_cast<const char*>(data), size);
    return true;
  }
};

TEST_F(QueryTest, SnapshotsAndReportFilesShowWhatTheUserMaySee) {
  ASSERT_EQ(grant(c_, a_, alice_, 1), S_OK) << lastError();
  ASSERT_EQ(grant(c_, b_, alice_, 2), S_OK) << lastError();
  struct Case {
    std::string user;
    Titles objects;
    size_t rights;
    bool readsReport;
  };
  const std::vector<Case> cases = {
      {"Administrator", {"A", "B", "Sub", "R", "0 last"}, 2, true},
      {"Alice", {"B", "0 last"}, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.user);
    korva::StoreSessionPtr session;
    ASSERT_TRUE(korva::logOnToStore({c.user, "", "localhost", "secEnterprise"}, &session).ok());
    korva::RepositorySnapshot s;
    ASSERT_TRUE(session->snapshot(&s).ok());
    Titles objects, users;
    for (const auto& o : s.objects) objects.push_back(o.title);
    for (const auto& u : s.users) users.push_back(u.title);
    EXPECT_EQ(objects, c.objects);
    EXPECT_EQ(users, (Titles{"Administrator", "Alice"}));
    EXPECT_EQ(s.rights.size(), c.rights);

    CollectedFile file;
    const korva::StoreStatus read = session->readReportFile(report_, file);
    EXPECT_EQ(read.ok(), c.readsReport) << read.description;
    EXPECT_EQ(file.bytes, c.readsReport ? "r" : "");
    EXPECT_EQ(file.file.name, c.readsReport ? "r.rpt" : "");
    if (!c.readsReport) {
      EXPECT_EQ(read.description,
                "There is no report " + std::to_string(report_) + " with a file.");
    }
    EXPECT_EQ(session->readReportFile(a_, file).description,
              "There is no report " + std::to_string(a_) + " with a file.");
  }
}

TEST_F(QueryTest, QueriesOutsideTheGrammarAreRefused) {
  struct Case {
    std::wstring text;
    std::string expected;
    size_t position;
  };
  const std::wstring base = L"SELECT * FROM CI_INFOOBJECTS WHERE ";
  const std::vector<Case> cases = {
      {L"", "SELECT", 1},
      {L"SELECT", "\"*\"", 7},
      {L"SELECT id FROM CI_INFOOBJECTS", "\"*\"", 8},
      {L"SELECT * FROM CI_OTHER", "CI_INFOOBJECTS or CI_SYSTEMOBJECTS", 15},
      {L"SELECT * FROM CI_INFOOBJECTS ORDER BY SI_ID", "WHERE or the end", 30},
      {L"SELECT * FROM CI_INFOOBJECTS WHERE", "SI_ID, SI_PARENTID or SI_OBTYPE", 35},
      {base + L"SI_NAME=1", "SI_ID, SI_PARENTID or SI_OBTYPE", 36},
      {base + L"SI_ID<5", "\"=\"", 41},
      {base + L"SI_ID=", "a 32-bit integer", 42},
      {base + L"SI_ID='1'", "a 32-bit integer", 42},
      {base + L"SI_ID=2147483648", "a 32-bit integer", 42},
      {base + L"SI_ID=-", "a 32-bit integer", 42},
      {base + L"SI_ID=1AND SI_OBTYPE=1", "a 32-bit integer", 42},
      {base + L"SI_ID=1 OR SI_ID=2", "AND or the end", 44},
      {base + L"SI_ID=1; DROP TABLE objects", "AND or the end", 43},
      {base + L"SI_ID=1 AND", "SI_ID, SI_PARENTID or SI_OBTYPE", 47},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(narrow(c.text));
    Ref<korva::InfoObjects> result;
    EXPECT_EQ(c_.store->query(B(c.text), result.put()), E_INVALIDARG);
    EXPECT_FALSE(result);
    EXPECT_EQ(lastError(), "The query \"" + narrow(c.text) + "\" is not understood: expected " +
                               c.expected + " at position " + std::to_string(c.position) + ".");
  }
  // The repository is untouched by the refused "DROP TABLE".
  EXPECT_EQ(countOf(query(c_, L"SELECT * FROM CI_INFOOBJECTS")), 5);
  Ref<korva::InfoObjects> result;
  EXPECT_EQ(c_.store->query(nullptr, result.put()), E_POINTER);
  EXPECT_EQ(c_.store->query(B(L"SELECT * FROM CI_INFOOBJECTS"), nullptr), E_POINTER);
}

TEST_F(QueryTest, ItemPositionsAreCheckedAndOneBased) {
  Ref<korva::InfoObjects> list = query(c_, L"SELECT * FROM CI_SYSTEMOBJECTS");
  Ref<IDispatch> item;
  for (LONG bad : {0, 3, -1}) {
    EXPECT_EQ(list->item(Variant::fromInt(bad), item.put()), E_INVALIDARG);
    EXPECT_EQ(lastError(),
              "Position " + std::to_string(bad) + " is outside the collection (1 to 2).");
  }
  EXPECT_EQ(list->item(Variant::fromString(L"1"), item.put()), E_INVALIDARG);
  EXPECT_EQ(lastError(), "item needs a 32-bit integer position.");
  EXPECT_EQ(list->item(Variant::fromInt(1), nullptr), E_POINTER);
  EXPECT_EQ(list->count(nullptr), E_POINTER);
  Ref<korva::InfoObjects> empty = query(c_, L"SELECT * FROM CI_INFOOBJECTS WHERE SI_ID=0");
  EXPECT_EQ(empty->item(Variant::fromInt(1), item.put()), E_INVALIDARG);
  EXPECT_EQ(lastError(), "Position 1 is outside the collection (which is empty).");
}

TEST_F(QueryTest, DesktopPluginsComeWithTheirTypeIds) {
  EXPECT_EQ(c_.types, (std::map<std::string, int16_t>{{"Folder", 1},
                                                      {"Report", 2},
                                                      {"Program", 8},
                                                      {"Shortcut", 11},
                                                      {"User", 16},
                                                      {"Calendar", 19}}));
  Ref<korva::PluginManager> manager;
  ASSERT_EQ(c_.session->getPluginManager(manager.put()), S_OK);
  Ref<korva::InfoObjects> list;
  EXPECT_EQ(manager->getPlugins(B(L"Admin"), list.put()), E_INVALIDARG);
  EXPECT_EQ(lastError(), "There are no \"Admin\" plugins; ask for \"Desktop\".");
  ASSERT_EQ(manager->getPlugins(B(L"Desktop"), list.put()), S_OK);
  // Plugins are read-only: a plugin has no setter, the slots between its two
  // operations answer E_NOTIMPL. Nothing can be added to their list.
  Ref<korva::DesktopPlugin> folder;
  ASSERT_EQ(korva::itemAs(list.get(), 1, &folder), S_OK);
  EXPECT_EQ(folder->reserved13(), E_NOTIMPL);
  Ref<korva::InfoObject> added;
  EXPECT_EQ(list->add(c_.plugins["Folder"].get(), added.put()), E_FAIL);
  EXPECT_EQ(lastError(), "Objects cannot be added to the plugin list.");
  EXPECT_EQ(c_.store->commit(list.get()), S_OK);

  Ref<IUnknown> service;
  EXPECT_EQ(c_.session->getService(B(L""), B(L"Infostore"), service.put()), E_INVALIDARG);
  EXPECT_EQ(lastError(), "There is no service \"Infostore\"; this server offers \"InfoStore\".");
}

TEST_F(QueryTest, PluginPlanLeavesOutOrRepeatsPlugins) {
  korva::setServerPluginPlan("Folder, Report*2, User*0");
  Connection c = connect();
  Ref<korva::PluginManager> manager;
  Ref<korva::InfoObjects> list;
  ASSERT_EQ(c.session->getPluginManager(manager.put()), S_OK);
  ASSERT_EQ(manager->getPlugins(B(L"Desktop"), list.put()), S_OK);
  EXPECT_EQ(pluginNamesOf(list), (Titles{"Report", "Report", "Program", "Shortcut", "Calendar"}));

  korva::clearServerPluginPlan();
  korva_test::setEnvironmentVariable("KORVA_SERVER_PLUGINS", "Calendar,Program*3");
  c = connect();  // the environment is read when the session manager is created
  ASSERT_EQ(c.session->getPluginManager(manager.put()), S_OK);
  ASSERT_EQ(manager->getPlugins(B(L"Desktop"), list.put()), S_OK);
  EXPECT_EQ(pluginNamesOf(list),
            (Titles{"Folder", "Report", "Program", "Program", "Program", "Shortcut", "User"}));
}

}  // namespace
}  // namespace korva_rs_test
