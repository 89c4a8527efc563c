// The history: each stored change gives one entry (none for a change that
// changes nothing) with its time, user, object and what changed, read newest
// first in pages; each user reads the entries about what that user may see.
#include <algorithm>
#include <climits>
#include <regex>
#include <string>
#include <vector>

#include "reportserver/store/store_session.h"
#include "tests/reportserver/server_fixture.h"

namespace korva_rs_test {
namespace {

using Lines = std::vector<std::string>;

class HistoryTest : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    admin_ = connect();
  }

  static korva::StoreSessionPtr storeSession(const std::string& user, const std::string& password) {
    korva::StoreSessionPtr session;
    const korva::StoreStatus status =
        korva::logOnToStore({user, password, "localhost", "secEnterprise"}, &session);
    EXPECT_TRUE(status.ok()) << status.description;
    return session;
  }

  // The user's whole history, oldest first, one line per entry:
  // "<user> <action> <type> <title>: <change>", read in pages of `page`.
  static Lines historyOf(const std::string& user, const std::string& password = "",
                         size_t page = 1000) {
    korva::StoreSessionPtr session = storeSession(user, password);
    Lines lines;
    if (!session) return lines;
    int64_t before = INT64_MAX;
    for (bool more = true; more;) {
      korva::HistoryPage p;
      const korva::StoreStatus status = session->history(before, page, &p);
      EXPECT_TRUE(status.ok()) << status.description;
      EXPECT_LE(p.entries.size(), page);
      for (const korva::HistoryEntry& e : p.entries) {
        EXPECT_LT(e.id, before);
        before = e.id;
        EXPECT_TRUE(std::regex_match(e.time, std::regex("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ")))
            << e.time;
        lines.push_back(e.userName + " " + e.action + " " + e.objectType + " " + e.objectTitle +
                        ": " + e.change);
      }
      more = status.ok() && p.more;
    }
    std::reverse(lines.begin(), lines.end());
    return lines;
  }

  // The titles of the objects whose newest entries the user reads.
  static Lines lastChangedOf(const std::string& user, const std::string& password) {
    korva::StoreSessionPtr session = storeSession(user, password);
    std::vector<korva::HistoryEntry> entries;
    Lines titles;
    if (!session) return titles;
    EXPECT_TRUE(session->lastChanges(&entries).ok());
    for (const korva::HistoryEntry& e : entries) titles.push_back(e.objectTitle + " " + e.action);
    return titles;
  }

  static void change(Connection& c, int32_t id, const std::wstring& title,
                     const std::wstring& description, int32_t parent) {
    Ref<korva::InfoObjects> list =
        query(c, L"SELECT * FROM CI_INFOOBJECTS WHERE SI_ID=" + std::to_wstring(id));
    ASSERT_EQ(itemOf(list, 1)->setTitle(B(title)), S_OK);
    ASSERT_EQ(itemOf(list, 1)->setDescription(B(description)), S_OK);
    ASSERT_EQ(itemOf(list, 1)->setProperty(B(L"SI_PARENTID"), Variant::fromInt(parent)), S_OK);
    ASSERT_EQ(c.store->commit(list.get()), S_OK) << lastError();
  }

  static void remove(Connection& c, int32_t id) {
    Ref<korva::InfoObjects> list =
        query(c, L"SELECT * FROM CI_INFOOBJECTS WHERE SI_ID=" + std::to_wstring(id));
    ASSERT_EQ(list->remove(Variant::fromObject(itemOf(list, 1).get())), S_OK);
    ASSERT_EQ(c.store->commit(list.get()), S_OK) << lastError();
  }

  Connection admin_;
};

TEST_F(HistoryTest, EachStoredChangeIsOneEntryReadNewestFirstInPages) {
  const int32_t f = addFolder(admin_, L"F", 0, L"folder");
  const int32_t g = addFolder(admin_, L"G");
  const int32_t alice = addUser(admin_, L"Alice", L"pw");
  const int32_t r = addReport(admin_, L"R", f, writeFile("r.rpt", "abc"));
  ASSERT_EQ(grant(admin_, f, alice, 2), S_OK);
  ASSERT_EQ(grant(admin_, f, alice, 2), S_OK);  // as it was: no entry
  ASSERT_EQ(grant(admin_, f, alice, 1), S_OK);
  change(admin_, f, L"F2", L"folder", 0);
  change(admin_, f, L"F2", L"folder", 0);  // as it was: no entry
  change(admin_, r, L"R", L"the report", g);
  remove(admin_, g);

  const std::string a = "Administrator ", fs = std::to_string(f), gs = std::to_string(g),
                    as = std::to_string(alice);
  const Lines expected = {
      a + "added Folder F: at the top level; description \"folder\"",
      a + "added Folder G: at the top level",
      a + "added User Alice: licence concurrent; password set",
      a + "added Report R: in folder " + fs + " \"F\"; file \"r.rpt\", 3 bytes",
      a + "right set Folder F: View for user \"Alice\" (" + as + ")",
      a + "right set Folder F: NoAccess for user \"Alice\" (" + as + "), was View",
      a + "updated Folder F2: title \"F\" -> \"F2\"",
      a + "updated Report R: description \"\" -> \"the report\"; moved from folder " + fs +
          " \"F2\" to folder " + gs + " \"G\"",
      a + "deleted Folder G: from the top level",
      a + "deleted Report R: with Folder " + gs,
  };
  EXPECT_EQ(historyOf("Administrator"), expected);
  for (size_t page : {1, 2, 4}) {
    SCOPED_TRACE(page);
    EXPECT_EQ(historyOf("Administrator", "", page), expected);
  }
}

TEST_F(HistoryTest, EachUserReadsTheEntriesAboutWhatThatUserMaySee) {
  const int32_t alice = addUser(admin_, L"Alice", L"pw");
  const int32_t hidden = addFolder(admin_, L"Hidden");
  const int32_t shown = addFolder(admin_, L"Shown");
  addReport(admin_, L"Secret", hidden, "");
  const int32_t gone = addReport(admin_, L"Gone", shown, "");
  ASSERT_EQ(grant(admin_, hidden, alice, 1), S_OK);
  ASSERT_EQ(grant(admin_, shown, alice, 5), S_OK);
  remove(admin_, gone);  // by another user: who could see it is no longer known
  Connection c = connect(L"Alice", L"pw");
  const int32_t mine = addReport(c, L"Mine", shown, "");
  remove(c, mine);  // by Alice herself

  const Lines seen = {
      "Administrator added User Alice: licence concurrent; password set",
      "Administrator added Folder Shown: at the top level",
      "Administrator right set Folder Shown: FullControl for user \"Alice\" (" +
          std::to_string(alice) + ")",
      "Alice added Report Mine: in folder " + std::to_string(shown) + " \"Shown\"; no file",
      "Alice deleted Report Mine: from folder " + std::to_string(shown) + " \"Shown\"",
  };
  EXPECT_EQ(historyOf("Alice", "pw"), seen);
  EXPECT_EQ(historyOf("Administrator").size(), 10u);
  EXPECT_EQ(lastChangedOf("Alice", "pw"), (Lines{"Alice added", "Shown right set"}));
  EXPECT_EQ(lastChangedOf("Administrator", ""),
            (Lines{"Alice added", "Hidden right set", "Shown right set", "Secret added"}));
}

}  // namespace
}  // namespace korva_rs_test
