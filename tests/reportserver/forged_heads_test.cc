// A commit goes by the heads the repository holds, not by those a client
// declares: a change that names another type is refused, and a declared
// title dodges no rights decision and no check; nothing is stored.
#include <map>
#include <string>
#include <vector>

#include "reportserver/store/access_rules.h"
#include "reportserver/store/local_store_session.h"
#include "tests/reportserver/server_fixture.h"

namespace korva_rs_test {
namespace {

using korva::ObjectChange;
using korva::PluginKind;
using korva::StoreStatus;

class ForgedHeadTest : public ServerTest {
 protected:
  korva::StoreSessionPtr logOn(const std::string& user) {
    korva::StoreSessionPtr session;
    const StoreStatus status =
        korva::LocalStoreSession::logOn({user, "", "localhost", "secEnterprise"}, &session);
    EXPECT_TRUE(status.ok()) << status.description;
    return session;
  }

  static const korva::PluginInfo& plugin(const korva::StoreSessionPtr& s, PluginKind kind) {
    for (const korva::PluginInfo& p : s->facts().plugins) {
      if (p.kind == kind) return p;
    }
    static const korva::PluginInfo none;
    return none;
  }

  // Adds a new object as the session; its id.
  int32_t add(const korva::StoreSessionPtr& s, PluginKind kind, const std::string& title,
              int32_t parent = 0, std::map<int32_t, int32_t> rights = {}) {
    ObjectChange c;
    c.plugin = plugin(s, kind);
    c.isNew = true;
    c.pending.title = title;
    c.pending.parentId = parent;
    c.pending.rights = std::move(rights);
    std::vector<korva::ObjectRecord> stored;
    const StoreStatus status = s->commit({c}, INT64_MAX, &stored);
    EXPECT_TRUE(status.ok()) << status.description;
    return stored.at(0).id;
  }
};

TEST_F(ForgedHeadTest, DeclaredTypesAndTitlesAreNotBelieved) {
  const korva::StoreSessionPtr admin = logOn("Administrator");
  const int32_t alice = add(admin, PluginKind::User, "alice");
  const int32_t open =
      add(admin, PluginKind::Folder, "Open", 0, {{alice, korva::kFullControlRole}});
  const int32_t closed =
      add(admin, PluginKind::Folder, "Closed", 0, {{alice, korva::kNoAccessRole}});
  const korva::StoreSessionPtr user = logOn("alice");
  const int32_t administrator = admin->facts().userId;
  const auto folderType = plugin(admin, PluginKind::Folder).typeId;

  // A change of an object of id `id`, declared of kind `declared` with that
  // title, stored in the head as the plugin's type unless headType says.
  auto change = [&](PluginKind declared, int32_t id, const std::string& title,
                    int16_t headType = 0) {
    ObjectChange c;
    c.plugin = plugin(admin, declared);
    c.stored = {id, headType ? headType : c.plugin.typeId, 0, title};
    return c;
  };
  struct Case {
    const char* what;
    korva::StoreSessionPtr session;
    ObjectChange change;
    StoreStatus::Code code;
    std::string description;
  };
  const std::string access = "The commit was refused: access denied. ";
  std::vector<Case> cases = {
      {"a user declared a folder", user, change(PluginKind::Folder, alice, "alice"),
       StoreStatus::Code::BadRequest,
       "The commit was refused: object " + std::to_string(alice) + " is a User, not a Folder."},
      {"the Administrator declared a folder", admin,
       change(PluginKind::Folder, administrator, "Administrator"), StoreStatus::Code::BadRequest,
       "The commit was refused: object " + std::to_string(administrator) +
           " is a User, not a Folder."},
      {"a folder declared a report", user, change(PluginKind::Report, open, "Open", folderType),
       StoreStatus::Code::BadRequest,
       "The commit was refused: object " + std::to_string(open) + " is a Folder, not a Report."},
      {"a NoAccess folder under another title", user, change(PluginKind::Folder, closed, "Open"),
       StoreStatus::Code::Denied,
       access + "User \"alice\" may not change Folder " + std::to_string(closed) +
           " \"Closed\": that needs FullControl on it or on a folder above it."},
      {"the Administrator under its new name", admin,
       change(PluginKind::User, administrator, "Boss"), StoreStatus::Code::Failed,
       "Nothing was committed. The Administrator account cannot be renamed."},
      {"an object that is not there", user, change(PluginKind::Folder, 99999, "Open"),
       StoreStatus::Code::Failed, "Nothing was committed. The Folder 99999 no longer exists."},
  };
  cases[0].change.pending.title = "mallory";
  cases[1].change.pending.remove = true;
  cases[2].change.pending.reportType = "Excel";
  cases[2].change.pending.filePath = writeFile("forged.rpt", "bytes");
  cases[3].change.pending.description = "mine now";
  cases[4].change.pending.title = "Boss";
  cases[5].change.pending.description = "none";

  const std::string before = dump();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<korva::ObjectRecord> stored;
    const StoreStatus status = c.session->commit({c.change}, INT64_MAX, &stored);
    EXPECT_EQ(status.code, c.code);
    EXPECT_EQ(status.description, c.description);
    EXPECT_EQ(dump(), before);
  }
}

}  // namespace
}  // namespace korva_rs_test
