// Pending changes and commit: invisible elsewhere until commit, all or
// nothing, subtree removal, rights and who may change them, who may change
// folders and reports, and the checks a commit makes.
#include <string>
#include <vector>

#include "reportserver/store/repository.h"
#include "tests/reportserver/server_fixture.h"

namespace korva_rs_test {
namespace {

using Titles = std::vector<std::string>;

class CommitTest : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    admin_ = connect();
  }

  Ref<korva::InfoObjects> byId(Connection& c, int32_t id, bool system = false) {
    return query(c, std::wstring(system ? L"SELECT * FROM CI_SYSTEMOBJECTS WHERE SI_ID="
                                        : L"SELECT * FROM CI_INFOOBJECTS WHERE SI_ID=") +
                        std::to_wstring(id));
  }

  Connection admin_;
};

TEST_F(CommitTest, PendingChangesAreInvisibleElsewhereUntilCommit) {
  int32_t existing = addFolder(admin_, L"Existing", 0, L"old");
  Connection other = connect();

  Ref<korva::InfoObjects> list = children(admin_, 0, "Folder");
  Ref<korva::InfoObject> created;
  ASSERT_EQ(list->add(admin_.plugins["Folder"].get(), created.put()), S_OK);
  ASSERT_EQ(created->setTitle(B(L"New")), S_OK);
  ASSERT_EQ(created->setDescription(B(L"fresh")), S_OK);
  ASSERT_EQ(created->setProperty(B(L"SI_PARENTID"), Variant::fromInt(0)), S_OK);
  Ref<korva::InfoObject> old = itemOf(list, 1);
  ASSERT_EQ(old->setDescription(B(L"new")), S_OK);
  // The pending title is what this collection shows.
  EXPECT_EQ(titlesOf(list), (Titles{"Existing", "New"}));
  LONG id = 0;
  EXPECT_EQ(created->id(&id), E_FAIL);
  EXPECT_EQ(lastError(), "The new Folder has no id until it is committed.");

  EXPECT_EQ(titlesOf(children(other, 0, "Folder")), (Titles{"Existing"}));
  EXPECT_EQ(dump().find("\"New\""), std::string::npos);
  EXPECT_NE(dump().find("\"description\": \"old\""), std::string::npos);

  ASSERT_EQ(admin_.store->commit(list.get()), S_OK) << lastError();
  EXPECT_EQ(titlesOf(children(other, 0, "Folder")), (Titles{"Existing", "New"}));
  int32_t newId = idOf(created);
  EXPECT_GT(newId, existing);
  std::string json = dump();
  EXPECT_NE(json.find("{\"id\": " + std::to_string(newId) +
                      ", \"type\": \"Folder\", \"parentId\": 0, \"title\": \"New\", "
                      "\"description\": \"fresh\""),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"title\": \"Existing\", \"description\": \"new\""), std::string::npos);
  // Nothing left pending: a second commit stores nothing new.
  EXPECT_EQ(admin_.store->commit(list.get()), S_OK);
  EXPECT_EQ(countOf(children(other, 0, "Folder")), 2);
}

TEST_F(CommitTest, AFailingCommitStoresNothingAndKeepsThePendingChanges) {
  int32_t folder = addFolder(admin_, L"F");
  std::string kept = writeFile("kept.rpt", "kept");
  std::string vanishing = writeFile("vanishing.rpt", "vanishing");
  int32_t existing = addReport(admin_, L"Existing", folder, kept);
  const std::string before = dump();

  Ref<korva::InfoObjects> list = children(admin_, folder, "Report");
  ASSERT_EQ(itemOf(list, 1)->setTitle(B(L"Renamed")), S_OK);
  Ref<korva::InfoObject> good, bad;
  Ref<korva::ReportFiles> files;
  Ref<IUnknown> answer;
  ASSERT_EQ(list->add(admin_.plugins["Report"].get(), good.put()), S_OK);
  ASSERT_EQ(good->setProperty(B(L"SI_PARENTID"), Variant::fromInt(folder)), S_OK);
  ASSERT_EQ(good->setTitle(B(L"Good")), S_OK);
  ASSERT_EQ(list->add(admin_.plugins["Report"].get(), bad.put()), S_OK);
  ASSERT_EQ(bad->setProperty(B(L"SI_PARENTID"), Variant::fromInt(folder)), S_OK);
  ASSERT_EQ(bad->setTitle(B(L"Bad")), S_OK);
  ASSERT_EQ(bad->files(files.put()), S_OK);
  ASSERT_EQ(files->addFile(Variant::fromString(widen(vanishing)), 1, Variant(), answer.put()),
            S_OK);
  std::filesystem::remove(vanishing);

  EXPECT_EQ(admin_.store->commit(list.get()), E_FAIL);
  EXPECT_EQ(lastError(), "Nothing was committed. Cannot open the report file \"" + vanishing +
                             "\": No such file or directory.");
  EXPECT_EQ(dump(), before);
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM content_chunks"), 1);

  // Put right, the same pending changes commit whole, unless the commit fails.
  writeFile("vanishing.rpt", "back again");
  korva::setServerFaultPlan("commit");
  EXPECT_EQ(admin_.store->commit(list.get()), E_FAIL);
  korva::clearServerFaultPlan();
  EXPECT_EQ(dump(), before);
  ASSERT_EQ(admin_.store->commit(list.get()), S_OK) << lastError();
  EXPECT_EQ(titlesOf(children(admin_, folder, "Report")), (Titles{"Renamed", "Good", "Bad"}));
  const std::string copy = (home_ / "copy.rpt").string();
  std::string error;
  ASSERT_TRUE(korva::exportReportContent("localhost", idOf(bad), copy, &error)) << error;
  EXPECT_EQ(readFile(copy), "back again");
  EXPECT_EQ(idOf(itemOf(list, 1)), existing);
}

TEST_F(CommitTest, AFailureLateInTheCommitUndoesTheEarlierWrites) {
  int32_t alice = addUser(admin_, L"Alice", L"");
  const std::string before = dump();
  Ref<korva::InfoObjects> list = children(admin_, 0, "Folder");
  Ref<korva::InfoObject> folder;
  ASSERT_EQ(list->add(admin_.plugins["Folder"].get(), folder.put()), S_OK);
  ASSERT_EQ(folder->setTitle(B(L"F")), S_OK);
  Ref<korva::SecurityPrincipals> principals = principalsOf(folder);
  ASSERT_TRUE(principals);
  Ref<korva::SecurityPrincipal> principal;
  ASSERT_EQ(principals->addPrincipal(alice + 1000, principal.put()), S_OK);
  ASSERT_EQ(principal->setRole(2), S_OK);
  EXPECT_EQ(admin_.store->commit(list.get()), E_FAIL);
  EXPECT_EQ(lastError(), "Nothing was committed. There is no user with id " +
                             std::to_string(alice + 1000) + ".");
  EXPECT_EQ(dump(), before);
  LONG id = 0;
  EXPECT_EQ(folder->id(&id), E_FAIL);  // still new
}

TEST_F(CommitTest, RemovingAFolderRemovesItsSubtree) {
  int32_t alice = addUser(admin_, L"Alice", L"");
  std::string file = writeFile("r.rpt", std::string(3 * 1024 * 1024 + 5, 'x'));
  int32_t a = addFolder(admin_, L"A");
  int32_t b = addFolder(admin_, L"B", a);
  int32_t c = addFolder(admin_, L"C", b);
  addReport(admin_, L"R1", b, file);
  addReport(admin_, L"R2", a, file);
  addReport(admin_, L"R3", c, file);
  int32_t d = addFolder(admin_, L"D");
  int32_t keep = addReport(admin_, L"Kept", d, file);
  ASSERT_EQ(grant(admin_, b, alice, 2), S_OK) << lastError();
  ASSERT_EQ(grant(admin_, keep, alice, 3), S_OK) << lastError();
  // A stale view of a report under A, taken before the removal.
  Ref<korva::InfoObjects> stale = children(admin_, b, "Report");
  ASSERT_EQ(countOf(stale), 1);

  Ref<korva::InfoObjects> top = children(admin_, 0, "Folder");
  Ref<korva::InfoObject> folderA = itemOf(top, 1);
  ASSERT_EQ(top->remove(Variant::fromObject(folderA.get())), S_OK);
  EXPECT_EQ(countOf(query(admin_, L"SELECT * FROM CI_INFOOBJECTS")), 8);  // pending
  ASSERT_EQ(admin_.store->commit(top.get()), S_OK) << lastError();

  EXPECT_EQ(titlesOf(top), (Titles{"D"}));
  EXPECT_EQ(titlesOf(query(admin_, L"SELECT * FROM CI_INFOOBJECTS")), (Titles{"D", "Kept"}));
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM rights"), 1);
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM reports"), 1);
  EXPECT_EQ(scalar("SELECT COUNT(*) FROM content_chunks"), 4);  // Kept's 3 MiB + 5 bytes
  EXPECT_EQ(folderA->setTitle(B(L"again")), E_FAIL);
  EXPECT_EQ(lastError(), "The Folder " + std::to_string(a) + " has been deleted.");

  ASSERT_EQ(itemOf(stale, 1)->setDescription(B(L"too late")), S_OK);
  EXPECT_EQ(admin_.store->commit(stale.get()), E_FAIL);
  EXPECT_NE(lastError().find("no longer exists"), std::string::npos) << lastError();
  (void)c;
}

TEST_F(CommitTest, RightsAreStoredAndReplaced) {
  int32_t alice = addUser(admin_, L"Alice", L"");
  int32_t folder = addFolder(admin_, L"F");
  ASSERT_EQ(grant(admin_, folder, alice, 2), S_OK) << lastError();
  ASSERT_EQ(grant(admin_, folder, alice, 5), S_OK) << lastError();
  ASSERT_EQ(grant(admin_, folder, 7, 1), S_OK) << lastError();
  EXPECT_NE(dump().find("\"rights\": [{\"userId\": 7, \"role\": 1}, {\"userId\": " +
                        std::to_string(alice) + ", \"role\": 5}]"),
            std::string::npos)
      << dump();
  for (int32_t role : {0, 6, -1}) {
    EXPECT_EQ(grant(admin_, folder, alice, role), E_INVALIDARG);
    EXPECT_EQ(lastError(), "Role " + std::to_string(role) + " is not valid; roles are 1 to 5.");
  }
  Ref<korva::InfoObjects> list = byId(admin_, folder);
  Ref<korva::SecurityPrincipals> principals = principalsOf(itemOf(list, 1));
  ASSERT_TRUE(principals);
  Ref<korva::SecurityPrincipal> principal;
  EXPECT_EQ(principals->addPrincipal(0, principal.put()), E_INVALIDARG);
  EXPECT_EQ(lastError(), "0 is not a user id.");
  // A folder id is not a user id.
  ASSERT_EQ(principals->addPrincipal(folder, principal.put()), S_OK);
  ASSERT_EQ(principal->setRole(2), S_OK);
  EXPECT_EQ(admin_.store->commit(list.get()), E_FAIL);
  EXPECT_EQ(lastError(),
            "Nothing was committed. There is no user with id " + std::to_string(folder) + ".");
}

TEST_F(CommitTest, OnlyTheAdministratorMayChangeUsersAndRights) {
  int32_t alice = addUser(admin_, L"Alice", L"pw");
  int32_t folder = addFolder(admin_, L"F");
  const std::string before = dump();
  Connection a = connect(L"Alice", L"pw");
  const std::string denied =
      "The commit was refused: access denied. Only the Administrator account may change users "
      "and rights.";

  EXPECT_EQ(grant(a, folder, alice, 5), E_ACCESSDENIED);
  EXPECT_EQ(lastError(), denied);

  Ref<korva::InfoObjects> list = users(a);
  Ref<korva::InfoObject> user;
  ASSERT_EQ(list->add(a.plugins["User"].get(), user.put()), S_OK);
  ASSERT_EQ(user->setTitle(B(L"Mallory")), S_OK);
  EXPECT_EQ(a.store->commit(list.get()), E_ACCESSDENIED);
  EXPECT_EQ(lastError(), denied);

  Ref<korva::InfoObjects> self = byId(a, alice, true);
  Ref<korva::UserObject> me;
  ASSERT_EQ(itemOf(self, 1).query(&me), S_OK);
  ASSERT_EQ(me->setFullName(B(L"Alice A.")), S_OK);
  EXPECT_EQ(a.store->commit(self.get()), E_ACCESSDENIED);
  EXPECT_EQ(lastError(), denied);

  Ref<korva::InfoObjects> admins = byId(a, 7, true);
  ASSERT_EQ(admins->remove(Variant::fromObject(itemOf(admins, 1).get())), S_OK);
  EXPECT_EQ(a.store->commit(admins.get()), E_ACCESSDENIED);
  EXPECT_EQ(dump(), before);

  // Folders and reports need FullControl there (see the next test).
  ASSERT_EQ(grant(admin_, folder, alice, 5), S_OK) << lastError();
  int32_t mine = addFolder(a, L"Alice's", folder);
  EXPECT_GT(mine, folder);
}

TEST_F(CommitTest, OthersChangeFoldersAndReportsOnlyWhereTheyHoldFullControl) {
  int32_t alice = addUser(admin_, L"Alice", L"pw");
  int32_t top = addFolder(admin_, L"Top");
  int32_t sub = addFolder(admin_, L"Sub", top);
  int32_t report = addReport(admin_, L"R", sub, writeFile("r.rpt", "r"));
  int32_t other = addFolder(admin_, L"Other");
  ASSERT_EQ(grant(admin_, top, alice, 5), S_OK) << lastError();
  ASSERT_EQ(grant(admin_, other, alice, 4), S_OK) << lastError();
  Connection a = connect(L"Alice", L"pw");
  const std::string o = std::to_string(other);
  const std::string refused = "The commit was refused: access denied. User \"Alice\" may not ";
  auto addUnder = [&](int32_t parent) {
    Ref<korva::InfoObjects> l = children(a, parent, "Folder");
    Ref<korva::InfoObject> f = newIn(a, l, "Folder");
    f->setTitle(B(L"New"));
    f->setProperty(B(L"SI_PARENTID"), Variant::fromInt(parent));
    return l;
  };
  auto describe = [&](int32_t id) {
    Ref<korva::InfoObjects> l = byId(a, id);
    itemOf(l, 1)->setDescription(B(L"changed"));
    return l;
  };
  auto removeOne = [&](int32_t id) {
    Ref<korva::InfoObjects> l = byId(a, id);
    l->remove(Variant::fromObject(itemOf(l, 1).get()));
    return l;
  };
  struct Case {
    std::string name;
    std::function<Ref<korva::InfoObjects>()> change;
    std::string refusal;  // "" when allowed
  };
  // FullControl on Top reaches everything below it; ViewOnDemand on Other is not enough.
  const std::vector<Case> cases = {
      {"add at the top", [&] { return addUnder(0); },
       refused + "add the Folder \"New\" at the top level: only the Administrator account may."},
      {"add to Other", [&] { return addUnder(other); },
       refused + "add the Folder \"New\" to folder " + o + ": that needs FullControl on folder " +
           o + " or on a folder above it."},
      {"change Other", [&] { return describe(other); },
       refused + "change Folder " + o +
           " \"Other\": that needs FullControl on it or on a folder above it."},
      {"delete Other", [&] { return removeOne(other); },
       refused + "delete Folder " + o +
           " \"Other\": that needs FullControl on it or on a folder above it."},
      {"move Sub to Other",
       [&] {
         Ref<korva::InfoObjects> l = byId(a, sub);
         itemOf(l, 1)->setProperty(B(L"SI_PARENTID"), Variant::fromInt(other));
         return l;
       },
       refused + "move Folder " + std::to_string(sub) + " \"Sub\" to folder " + o +
           ": that needs FullControl on folder " + o + " or on a folder above it."},
      {"change R and Other at once",
       [&] {
         Ref<korva::InfoObjects> l = query(a, L"SELECT * FROM CI_INFOOBJECTS");
         for (int32_t i = 1; i <= countOf(l); ++i) itemOf(l, i)->setDescription(B(L"all"));
         return l;
       },
       refused + "change Folder " + o +
           " \"Other\": that needs FullControl on it or on a folder above it."},
      {"add to Sub", [&] { return addUnder(sub); }, ""},
      {"change R", [&] { return describe(report); }, ""},
      {"delete Sub", [&] { return removeOne(sub); }, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string before = dump();
    Ref<korva::InfoObjects> list = c.change();
    if (c.refusal.empty()) {
      EXPECT_EQ(a.store->commit(list.get()), S_OK) << lastError();
      EXPECT_NE(dump(), before);
    } else {
      EXPECT_EQ(a.store->commit(list.get()), E_ACCESSDENIED);
      EXPECT_EQ(lastError(), c.refusal);
      EXPECT_EQ(dump(), before);
    }
  }
  EXPECT_EQ(titlesOf(query(admin_, L"SELECT * FROM CI_INFOOBJECTS")), (Titles{"Top", "Other"}));
}

TEST_F(CommitTest, AMoveIsJudgedByTheParentStoredAtCommit) {
  int32_t alice = addUser(admin_, L"Alice", L"pw");
  int32_t closed = addFolder(admin_, L"Closed");
  int32_t open = addFolder(admin_, L"Open");
  int32_t report = addReport(admin_, L"R", closed, writeFile("r.rpt", "r"));
  ASSERT_EQ(grant(admin_, report, alice, 5), S_OK) << lastError();
  Connection a = connect(L"Alice", L"pw");
  // Alice reads the report in Closed; the Administrator then moves it to Open.
  Ref<korva::InfoObjects> mine = byId(a, report);
  ASSERT_EQ(countOf(mine), 1);
  {
    Ref<korva::InfoObjects> moved = byId(admin_, report);
    ASSERT_EQ(itemOf(moved, 1)->setProperty(B(L"SI_PARENTID"), Variant::fromInt(open)), S_OK);
    ASSERT_EQ(admin_.store->commit(moved.get()), S_OK) << lastError();
  }
  // The parent Alice read is now a move back into Closed, where she holds no right.
  ASSERT_EQ(itemOf(mine, 1)->setProperty(B(L"SI_PARENTID"), Variant::fromInt(closed)), S_OK);
  EXPECT_EQ(a.store->commit(mine.get()), E_ACCESSDENIED);
  const std::string c = std::to_string(closed);
  EXPECT_EQ(lastError(),
            "The commit was refused: access denied. User \"Alice\" may not move Report " +
                std::to_string(report) + " \"R\" to folder " + c +
                ": that needs FullControl on folder " + c + " or on a folder above it.");
  EXPECT_EQ(scalar("SELECT parent_id FROM objects WHERE id = " + std::to_string(report)), open);
}

TEST_F(CommitTest, CommitChecksParentsAndUserNames) {
  int32_t folder = addFolder(admin_, L"F");
  int32_t sub = addFolder(admin_, L"Sub", folder);
  int32_t report = addReport(admin_, L"R", folder, writeFile("r.rpt", "r"));
  addUser(admin_, L"Alice", L"");
  struct Case {
    std::string name;
    std::function<void(Ref<korva::InfoObjects>&)> change;
    std::string description;
  };
  const std::string f = std::to_string(folder);
  const std::vector<Case> cases = {
      {"missing parent",
       [&](Ref<korva::InfoObjects>& l) {
         newIn(admin_, l, "Folder")->setProperty(B(L"SI_PARENTID"), Variant::fromInt(99999));
       },
       "Nothing was committed. The parent folder 99999 of the new Folder does not exist."},
      {"report as parent",
       [&](Ref<korva::InfoObjects>& l) {
         newIn(admin_, l, "Folder")->setProperty(B(L"SI_PARENTID"), Variant::fromInt(report));
       },
       "Nothing was committed. Object " + std::to_string(report) +
           " is a Report, not a folder; it cannot hold the new Folder."},
      {"folder under its own subfolder",
       [&](Ref<korva::InfoObjects>& l) {
         itemOf(l, 1)->setProperty(B(L"SI_PARENTID"), Variant::fromInt(sub));
       },
       "Nothing was committed. The Folder " + f + " cannot be moved under folder " +
           std::to_string(sub) + ", which lies inside it."},
      {"user name taken",
       [&](Ref<korva::InfoObjects>& l) { newIn(admin_, l, "User")->setTitle(B(L"Alice")); },
       "Nothing was committed. A user named \"Alice\" already exists."},
      {"user without name", [&](Ref<korva::InfoObjects>& l) { newIn(admin_, l, "User"); },
       "Nothing was committed. A user needs a name."},
  };
  const std::string before = dump();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Ref<korva::InfoObjects> list = byId(admin_, folder);
    c.change(list);
    EXPECT_EQ(admin_.store->commit(list.get()), E_FAIL);
    EXPECT_EQ(lastError(), c.description);
    EXPECT_EQ(dump(), before);
  }

  Ref<korva::InfoObjects> admins = byId(admin_, 7, true);
  ASSERT_EQ(itemOf(admins, 1)->setTitle(B(L"Root")), S_OK);
  EXPECT_EQ(admin_.store->commit(admins.get()), E_FAIL);
  EXPECT_EQ(lastError(), "Nothing was committed. The Administrator account cannot be renamed.");
  admins = byId(admin_, 7, true);
  ASSERT_EQ(admins->remove(Variant::fromObject(itemOf(admins, 1).get())), S_OK);
  EXPECT_EQ(admin_.store->commit(admins.get()), E_FAIL);
  EXPECT_EQ(lastError(), "Nothing was committed. The Administrator account cannot be deleted.");
  EXPECT_EQ(dump(), before);
}

TEST_F(CommitTest, PropertiesAreCheckedWhenSet) {
  Ref<korva::InfoObjects> list = children(admin_, 0, "Folder");
  Ref<korva::InfoObject> folder;
  ASSERT_EQ(list->add(admin_.plugins["Folder"].get(), folder.put()), S_OK);
  struct Case {
    const wchar_t* name;
    Variant value;
    std::string description;
  };
  const Case cases[] = {
      {L"SI_PARENTID", Variant::fromString(L"1"), "SI_PARENTID needs a 32-bit integer value."},
      {L"SI_PARENTID", Variant::fromInt(-1), "SI_PARENTID -1 is not a folder id."},
      {L"SI_REPORTTYPE", Variant::fromString(L"x"), "SI_REPORTTYPE applies to reports only."},
      {L"SI_NAME", Variant::fromString(L"x"),
       "The property \"SI_NAME\" is not known; SI_PARENTID and SI_REPORTTYPE can be set."},
      {L"si_parentid", Variant::fromInt(0),
       "The property \"si_parentid\" is not known; SI_PARENTID and SI_REPORTTYPE can be set."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(folder->setProperty(B(c.name), c.value), E_INVALIDARG);
    EXPECT_EQ(lastError(), c.description);
  }
  EXPECT_EQ(folder->setProperty(nullptr, Variant()), E_POINTER);
  // Users and folders do not answer the report interface, and the other way round.
  Ref<korva::ReportObject> asReport;
  Ref<korva::UserObject> asUser;
  EXPECT_EQ(folder.query(&asReport), E_NOINTERFACE);
  EXPECT_EQ(folder.query(&asUser), E_NOINTERFACE);
  Ref<korva::ReportFiles> files;
  EXPECT_EQ(folder->files(files.put()), E_FAIL);
  EXPECT_EQ(lastError(), "Only reports have files; this is the new Folder.");
  Ref<korva::InfoObject> user;
  Ref<korva::InfoObjects> userList = users(admin_);
  ASSERT_EQ(userList->add(admin_.plugins["User"].get(), user.put()), S_OK);
  ASSERT_EQ(user.query(&asUser), S_OK);
  EXPECT_EQ(asUser->setLicenseType(2), E_INVALIDARG);
  EXPECT_EQ(lastError(), "Licence type 2 is not valid: 0 is a named user, 1 any other.");
  EXPECT_EQ(user->setProperty(B(L"SI_PARENTID"), Variant::fromInt(0)), E_INVALIDARG);
  EXPECT_EQ(lastError(), "SI_PARENTID does not apply to users.");
}

TEST_F(CommitTest, UserSettingsAreStored) {
  Ref<korva::InfoObjects> list = users(admin_);
  Ref<korva::InfoObject> user;
  Ref<korva::UserObject> details;
  ASSERT_EQ(list->add(admin_.plugins["User"].get(), user.put()), S_OK);
  ASSERT_EQ(user->setTitle(B(L"Bob")), S_OK);
  ASSERT_EQ(user->setDescription(B(L"from \"sales\"")), S_OK);
  ASSERT_EQ(user.query(&details), S_OK);
  ASSERT_EQ(details->setFullName(B(L"Bob B\x00e9r\x00e9")), S_OK);
  ASSERT_EQ(details->setPasswordOption1(true), S_OK);
  ASSERT_EQ(details->setPasswordOption2(false), S_OK);
  ASSERT_EQ(details->setPasswordOption3(true), S_OK);
  ASSERT_EQ(details->setLicenseType(0), S_OK);
  ASSERT_EQ(details->setPassword(B(L"pw")), S_OK);
  ASSERT_EQ(admin_.store->commit(list.get()), S_OK) << lastError();
  EXPECT_NE(dump().find("{\"id\": " + std::to_string(idOf(user)) +
                        ", \"name\": \"Bob\", \"fullName\": \"Bob B\xc3\xa9r\xc3\xa9\", "
                        "\"description\": \"from \\\"sales\\\"\",\n            \"licenseType\": 0, "
                        "\"hasPassword\": true, \"passwordOptions\": [true, false, true]}"),
            std::string::npos)
      << dump();
}

TEST_F(CommitTest, AReleasedCollectionDiscardsItsChanges) {
  Ref<korva::InfoObject> folder;
  {
    Ref<korva::InfoObjects> list = children(admin_, 0, "Folder");
    ASSERT_EQ(list->add(admin_.plugins["Folder"].get(), folder.put()), S_OK);
    ASSERT_EQ(folder->setTitle(B(L"Lost")), S_OK);
  }
  EXPECT_EQ(titleOf(folder), "");
  EXPECT_EQ(folder->setTitle(B(L"Lost again")), E_FAIL);
  EXPECT_EQ(lastError(),
            "The collection that held the new Folder has been released; changes to it can no "
            "longer be committed.");
  EXPECT_EQ(countOf(query(admin_, L"SELECT * FROM CI_INFOOBJECTS")), 0);
}

TEST_F(CommitTest, CollectionsBelongToTheirSessionAndObjectsToTheirCollection) {
  addFolder(admin_, L"F");
  Connection other = connect();
  Ref<korva::InfoObjects> mine = children(admin_, 0, "Folder");
  Ref<korva::InfoObjects> theirs = children(other, 0, "Folder");
  EXPECT_EQ(other.store->commit(mine.get()), E_INVALIDARG);
  EXPECT_EQ(lastError(),
            "The collection passed to commit belongs to another session; commit it through that "
            "session's InfoStore.");
  EXPECT_EQ(mine->remove(Variant::fromObject(itemOf(theirs, 1).get())), E_INVALIDARG);
  EXPECT_EQ(lastError(), "The object passed to remove is not in this collection.");
  EXPECT_EQ(mine->remove(Variant::fromInt(1)), E_INVALIDARG);
  EXPECT_EQ(lastError(), "remove needs a variant holding the object to delete.");
  EXPECT_EQ(mine->remove(Variant::fromObject(nullptr)), E_POINTER);
  EXPECT_EQ(admin_.store->commit(nullptr), E_POINTER);
  Ref<korva::InfoObject> out;
  EXPECT_EQ(mine->add(nullptr, out.put()), E_POINTER);
  EXPECT_EQ(mine->add(admin_.plugins["Folder"].get(), nullptr), E_POINTER);
}

TEST_F(CommitTest, IdsComeFromOneSequenceAboveZero) {
  int32_t f1 = addFolder(admin_, L"F1");
  int32_t u1 = addUser(admin_, L"U1", L"");
  int32_t f2 = addFolder(admin_, L"F2");
  EXPECT_GT(f1, 7);  // the Administrator was first
  EXPECT_EQ(u1, f1 + 1);
  EXPECT_EQ(f2, u1 + 1);
  // Ids are not given again after a removal.
  Ref<korva::InfoObjects> list = children(admin_, 0, "Folder");
  ASSERT_EQ(list->remove(Variant::fromObject(itemOf(list, 2).get())), S_OK);
  ASSERT_EQ(admin_.store->commit(list.get()), S_OK);
  EXPECT_EQ(addFolder(admin_, L"F3"), f2 + 1);
}

}  // namespace
}  // namespace korva_rs_test
