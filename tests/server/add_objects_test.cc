// Adding and updating users, folders and reports on the embedded server:
// added vs updated and the overwrite flag coming back, an existing object
// with overwrite off, what reaches the repository, and every fatal and
// warning step with its exact lines and status.
#include <string>

#include "server_test_util.h"

namespace {

using korva::ObjectRecord;
using namespace korva_test;

class AddObjectsTest : public ConnectedClientTest {
 protected:
  void populate() override {
    bool overwrite = false;
    // Lists are not empty, so lookups walk real items.
    ASSERT_EQ(client().addFolder("Existing", "", &overwrite, 0, &existingFolder), kStatusOk);
    ASSERT_EQ(client().addReport("Old", "", "", reportFile("old.rpt").c_str(), true, &overwrite,
                                 existingFolder, &existingReport),
              kStatusOk);
  }

  // A new user with every value given, its id kept in id_.
  std::function<int()> newUser(const std::string& name) {
    return [this, name] {
      bool overwrite = false;
      return client().addUser(name.c_str(), "Full Name", "Description", "pw", "1", &overwrite,
                              &id_);
    };
  }
  std::function<int()> newFolder(const std::string& name) {
    return [this, name] {
      bool overwrite = false;
      return client().addFolder(name.c_str(), "Description", &overwrite, existingFolder, &id_);
    };
  }
  std::function<int()> newReport(const std::string& title, const std::string& path) {
    return [this, title, path] {
      bool overwrite = false;
      return client().addReport(title.c_str(), "Description", "Icon", path.c_str(), true,
                                &overwrite, existingFolder, &id_);
    };
  }

  int32_t existingFolder = -1;
  int32_t existingReport = -1;
};

TEST_F(AddObjectsTest, UserAddedThenUpdatedWithTheFlagComingBack) {
  bool overwrite = true;  // allowed, but nothing exists yet: added, flag false
  int32_t id = -1;
  ASSERT_EQ(client().addUser("Ann", "Ann Smith", "Sales", "first", "1", &overwrite, &id),
            kStatusOk);
  EXPECT_FALSE(overwrite);
  EXPECT_EQ(takeLines(), Lines{I("Successfully added user Ann with id " + num(id) +
                                 " to Veltrane Enterprise.")});
  ObjectRecord record;
  ASSERT_TRUE(stored(true, id, &record));
  EXPECT_EQ(record.title, "Ann");
  EXPECT_EQ(record.fullName, "Ann Smith");
  EXPECT_EQ(record.description, "Sales");
  EXPECT_TRUE(record.hasPassword);
  EXPECT_EQ(record.licenseType, 0);

  // Overwrite off: two lines, 202, nothing changed.
  overwrite = false;
  int32_t again = -1;
  EXPECT_EQ(client().addUser("Ann", "Other", "", "", "0", &overwrite, &again), kStatusLogical);
  EXPECT_FALSE(overwrite);
  EXPECT_EQ(again, -1);
  EXPECT_EQ(takeLines(), (Lines{E("Failed to add user Ann as the user already exists."),
                                E("Failed to add user Ann to Veltrane Enterprise.")}));

  // Overwrite on: the same user, updated values, flag true.
  overwrite = true;
  ASSERT_EQ(client().addUser("Ann", "Ann Jones", "", "second", "0", &overwrite, &again), kStatusOk);
  EXPECT_TRUE(overwrite);
  EXPECT_EQ(again, id);
  EXPECT_EQ(takeLines(), Lines{I("Successfully updated user Ann with id " + num(id) +
                                 " to Veltrane Enterprise.")});
  ASSERT_TRUE(stored(true, id, &record));
  EXPECT_EQ(record.fullName, "Ann Jones");
  EXPECT_EQ(record.description, "Sales");  // not given: left as it was
  EXPECT_EQ(record.licenseType, 1);

  // The new password is the one that logs on.
  CMAVEObjV85 ann;
  EXPECT_EQ(ann.connect(korva_test::kAps, "Ann", "second", korva_test::kAuth), kStatusOk);
  takeLines();
}

TEST_F(AddObjectsTest, OnlyTheNamedFlagOneGivesANamedLicence) {
  struct Row {
    const char* named;
    int32_t licence;
  };
  int n = 0;
  for (const Row& row : {Row{"1", 0}, Row{"0", 1}, Row{"", 1}, Row{"yes", 1}, Row{"true", 1},
                         Row{"1 ", 1}, Row{nullptr, 1}}) {
    SCOPED_TRACE(row.named ? row.named : "(null)");
    bool overwrite = false;
    int32_t id = -1;
    const std::string name = "user" + num(n++);
    ASSERT_EQ(client().addUser(name.c_str(), "", "", "", row.named, &overwrite, &id), kStatusOk);
    ObjectRecord record;
    ASSERT_TRUE(stored(true, id, &record));
    EXPECT_EQ(record.licenseType, row.licence);
    EXPECT_FALSE(record.hasPassword);
    for (bool option : record.passwordOptions) EXPECT_FALSE(option);
  }
}

TEST_F(AddObjectsTest, UserFailures) {
  const std::string closing = E("Failed to add user U to Veltrane Enterprise.");
  auto user = newUser("U");
  // Rows that fail leave no user behind, so every row adds "U" afresh; the
  // warning rows add it, so they come last, each with a fresh name.
  const Steps step{"addUser", user, closing};
  runCases({
      step("query", "Failed to obtain the list of system objects of type " + userType() + ".",
           kStatusLogical),
      step("count", "Failed to obtain the info object with name U.", kStatusLogical),
      step("title", "Failed to obtain the info object with name U.", kStatusLogical),
      step("add", "Failed to add user U to the user list.", kStatusServer),
      step("setTitle", "Failed to set the name of user U.", kStatusServer),
      {"addUser",
       "queryInterface:UserObject",
       user,
       {E("Failed to obtain user object interface while adding user U."), closing},
       kStatusLogical},
      step("commit", "Failed to commit user changes while adding user U.", kStatusServer),
  });
  // A failed id comes after the commit: the user is stored all the same.
  runCases({
      step("id", "Failed to obtain id of the user U.", kStatusServer),
  });
  korva::Ref<korva::InfoObjects> users;
  korva::Ref<korva::InfoObject> found;
  ASSERT_EQ(client().querySystemObjectsByType(client().userTypeId(), &users), kStatusOk);
  ASSERT_EQ(client().findByName("U", users.get(), &found), kStatusOk);
  EXPECT_TRUE(found);
}

TEST_F(AddObjectsTest, UserWarningsStillStoreTheUser) {
  struct Row {
    std::string plan;
    Lines warnings;
  };
  const Row rows[] = {
      {"setDescription", warned("Unable to set the description of user N.", "setDescription")},
      {"setFullName", warned("Unable to set the full name of user N.", "setFullName")},
      {"setPassword", warned("Unable to set the password of user N.", "setPassword")},
      {"setPasswordOption1",
       warned("Unable to set password property of user N.", "setPasswordOption1")},
      {"setPasswordOption2",
       warned("Unable to set password property of user N.", "setPasswordOption2")},
      {"setPasswordOption3",
       warned("Unable to set password property of user N.", "setPasswordOption3")},
      {"setPasswordOption1,setPasswordOption3",
       join({warned("Unable to set password property of user N.", "setPasswordOption1"),
             warned("Unable to set password property of user N.", "setPasswordOption3")})},
      {"setLicenseType", warned("Unable to set license property of user N.", "setLicenseType")},
  };
  int n = 0;
  for (const Row& row : rows) {
    const std::string name = "N" + num(n++);
    runCases(
        {{"addUser", row.plan, newUser(name),
          join({replaced(row.warnings, "user N.", "user " + name + "."),
                {I("Successfully added user " + name + " with id {id} to Veltrane Enterprise.")}}),
          kStatusOk}});
    ObjectRecord record;
    ASSERT_TRUE(stored(true, id_, &record));
    EXPECT_EQ(record.title, name);
    EXPECT_EQ(record.description.empty(), row.plan == "setDescription");
    EXPECT_EQ(record.fullName.empty(), row.plan == "setFullName");
    EXPECT_EQ(record.hasPassword, row.plan != "setPassword");
    EXPECT_EQ(record.licenseType, row.plan == "setLicenseType" ? 1 : 0);
  }
}

TEST_F(AddObjectsTest, FolderAddedThenUpdated) {
  bool overwrite = true;
  int32_t id = -1;
  ASSERT_EQ(client().addFolder("Sales", "First", &overwrite, existingFolder, &id), kStatusOk);
  EXPECT_FALSE(overwrite);
  EXPECT_EQ(takeLines(), Lines{I("Successfully added folder Sales with id " + num(id) +
                                 " to Veltrane Enterprise.")});
  ObjectRecord record;
  ASSERT_TRUE(stored(false, id, &record));
  EXPECT_EQ(record.parentId, existingFolder);
  EXPECT_EQ(record.typeId, client().folderTypeId());
  EXPECT_EQ(record.description, "First");

  overwrite = false;
  int32_t again = -1;
  EXPECT_EQ(client().addFolder("Sales", "", &overwrite, existingFolder, &again), kStatusLogical);
  EXPECT_FALSE(overwrite);
  EXPECT_EQ(takeLines(), (Lines{E("Failed to add folder Sales as the folder already exists."),
                                E("Failed to add folder Sales to Veltrane Enterprise.")}));

  overwrite = true;
  ASSERT_EQ(client().addFolder("Sales", "Second", &overwrite, existingFolder, &again), kStatusOk);
  EXPECT_TRUE(overwrite);
  EXPECT_EQ(again, id);
  EXPECT_EQ(takeLines(), Lines{I("Successfully updated folder Sales with id " + num(id) +
                                 " to Veltrane Enterprise.")});
  ASSERT_TRUE(stored(false, id, &record));
  EXPECT_EQ(record.title, "Sales");
  EXPECT_EQ(record.parentId, existingFolder);
  EXPECT_EQ(record.description, "Second");

  // Lookups are case-sensitive and by parent: these are new folders.
  overwrite = false;
  EXPECT_EQ(client().addFolder("sales", "", &overwrite, existingFolder, &again), kStatusOk);
  EXPECT_NE(again, id);
  EXPECT_EQ(client().addFolder("Sales", "", &overwrite, 0, &again), kStatusOk);
  EXPECT_NE(again, id);
}

TEST_F(AddObjectsTest, FolderFailuresAndWarnings) {
  const std::string closing = E("Failed to add folder F to Veltrane Enterprise.");
  auto folder = newFolder("F");
  const Steps step{"addFolder", folder, closing};
  runCases({
      step("query",
           "Failed to obtain the list of info objects of type " + folderType() +
               " belonging to parent " + num(existingFolder) + ".",
           kStatusLogical),
      step("count", "Failed to obtain the info object with name F.", kStatusLogical),
      step("add", "Failed to add folder F to the folder list.", kStatusServer),
      step("setTitle", "Failed to set the name of folder F.", kStatusServer),
      step("setProperty", "Failed to set the parent id of folder F to " + num(existingFolder) + ".",
           kStatusServer),
      step("commit", "Failed to commit folder changes while adding folder F.", kStatusServer),
      // Nothing of the rows above reached the server; this one is stored.
      {"addFolder", "setDescription", folder,
       join({{W("Unable to set the description of folder F.")},
             detail("setDescription"),
             {I("Successfully added folder F with id {id} to Veltrane Enterprise.")}}),
       kStatusOk},
      {"addFolder", "id", newFolder("G"),
       join({{E("Failed to obtain id of the folder G.")},
             detail("id"),
             {E("Failed to add folder G to Veltrane Enterprise.")}}),
       kStatusServer},
  });
  int32_t id = -1;
  EXPECT_EQ(client().getFolder("G", existingFolder, &id), kStatusOk);
}

TEST_F(AddObjectsTest, ReportAddedThenUpdatedWithItsFile) {
  const std::string path = reportFile("sales.rpt");
  bool overwrite = true;
  int32_t id = -1;
  ASSERT_EQ(client().addReport("Sales", "Numbers", "pie", path.c_str(), true, &overwrite,
                               existingFolder, &id),
            kStatusOk);
  EXPECT_FALSE(overwrite);
  EXPECT_EQ(takeLines(), Lines{I("Successfully added report Sales with id " + num(id) +
                                 " to Veltrane Enterprise.")});
  ObjectRecord record;
  ASSERT_TRUE(stored(false, id, &record));
  EXPECT_EQ(record.title, "Sales");
  EXPECT_EQ(record.typeId, client().reportTypeId());
  EXPECT_EQ(record.parentId, existingFolder);
  EXPECT_EQ(record.description, "Numbers");
  EXPECT_EQ(record.reportType, "pie");
  EXPECT_TRUE(record.thumbnail);
  EXPECT_TRUE(record.hasFile);
  const std::string firstHash = record.fileSha256;

  overwrite = false;
  int32_t again = -1;
  EXPECT_EQ(
      client().addReport("Sales", "", "", path.c_str(), true, &overwrite, existingFolder, &again),
      kStatusLogical);
  EXPECT_EQ(takeLines(), (Lines{E("Failed to add report Sales as the report already exists."),
                                E("Failed to add report Sales to Veltrane Enterprise.")}));

  // An update attaches the file again and sets the thumbnail by the flag.
  std::ofstream(path) << "a newer version of the report\n";
  overwrite = true;
  ASSERT_EQ(
      client().addReport("Sales", "", "", path.c_str(), false, &overwrite, existingFolder, &again),
      kStatusOk);
  EXPECT_TRUE(overwrite);
  EXPECT_EQ(again, id);
  EXPECT_EQ(takeLines(), Lines{I("Successfully updated report Sales with id " + num(id) +
                                 " to Veltrane Enterprise.")});
  ASSERT_TRUE(stored(false, id, &record));
  EXPECT_NE(record.fileSha256, firstHash);
  EXPECT_FALSE(record.thumbnail);
  EXPECT_EQ(record.description, "Numbers");
  EXPECT_EQ(record.reportType, "pie");

  // The same title in another folder is another report.
  overwrite = false;
  EXPECT_EQ(client().addReport("Sales", "", "", path.c_str(), true, &overwrite, 0, &again),
            kStatusOk);
  EXPECT_NE(again, id);
}

TEST_F(AddObjectsTest, AReportWithoutTitleIsAlwaysAddedAndNamedByItsFile) {
  const std::string path = reportFile("untitled.rpt");
  bool overwrite = false;
  int32_t first = -1;
  int32_t second = -1;
  // One exists already whose title is the file's path.
  ASSERT_EQ(client().addReport(path.c_str(), "", "", path.c_str(), true, &overwrite, existingFolder,
                               &first),
            kStatusOk);
  takeLines();
  for (int32_t* id : {&first, &second}) {
    overwrite = true;
    ASSERT_EQ(client().addReport("", "", "", path.c_str(), true, &overwrite, existingFolder, id),
              kStatusOk);
    EXPECT_FALSE(overwrite);
    EXPECT_EQ(takeLines(), Lines{I("Successfully added report " + path + " with id " + num(*id) +
                                   " to Veltrane Enterprise.")});
  }
  EXPECT_NE(first, second);

  // Its failures name the file too.
  korva::setServerFaultPlan("commit");
  EXPECT_EQ(client().addReport("", "", "", path.c_str(), true, &overwrite, existingFolder, &first),
            kStatusServer);
  EXPECT_EQ(takeLines(),
            join({{E("Failed to commit report changes while adding report " + path + ".")},
                  detail("commit"),
                  {E("Failed to add report " + path + " to Veltrane Enterprise.")}}));
}

TEST_F(AddObjectsTest, ReportFailures) {
  const std::string path = reportFile("r.rpt");
  const std::string closing = E("Failed to add report R to Veltrane Enterprise.");
  auto report = newReport("R", path);
  const Steps step{"addReport", report, closing};
  runCases({
      step("query",
           "Failed to obtain the list of info objects of type " + reportType() +
               " belonging to parent " + num(existingFolder) + ".",
           kStatusLogical),
      step("count", "Failed to obtain the info object with name R.", kStatusLogical),
      step("add", "Failed to add report R to the report list.", kStatusServer),
      step("setProperty#1",
           "Failed to set the parent id of report R to " + num(existingFolder) + ".",
           kStatusServer),
      step("files", "Failed to obtain the list of files associated to report R.", kStatusServer),
      step("addFile", "Failed to associate the file " + path + " to report R.", kStatusServer),
      step("commit", "Failed to commit report changes while adding report R.", kStatusServer),
      step("id", "Failed to obtain id of the report R.", kStatusServer),
  });
  // Only the last row reached the commit.
  int32_t id = -1;
  EXPECT_EQ(client().getReport("R", existingFolder, &id), kStatusOk);
}

TEST_F(AddObjectsTest, ReportWarningsStillStoreTheReport) {
  const std::string path = reportFile("w.rpt");
  struct Row {
    std::string plan;
    std::string field;  // what is missing from the stored report
    Lines warnings;
  };
  const Row rows[] = {
      {"setTitle", "title", warned("Unable to set the name of report T.", "setTitle")},
      // A missing interface is not a refusal of the server: no detail text.
      {"queryInterface:ReportObject",
       "thumbnail",
       {W("Unable to obtain report object interface while adding report T.")}},
      {"setThumbnail", "thumbnail",
       warned("Unable to set thumbnail property of report T.", "setThumbnail")},
      {"setDescription", "description",
       warned("Unable to set the description of report T.", "setDescription")},
      {"setProperty#2", "icon",
       warned("Unable to set the icon property of report T.", "setProperty")},
  };
  int n = 0;
  for (const Row& row : rows) {
    const std::string title = "T" + num(n++);
    Lines expected = replaced(row.warnings, "report T.", "report " + title + ".");
    expected.push_back(
        I("Successfully added report " + title + " with id {id} to Veltrane Enterprise."));
    runCases({{"addReport", row.plan, newReport(title, path), expected, kStatusOk}});
    ObjectRecord record;
    ASSERT_TRUE(stored(false, id_, &record));
    EXPECT_EQ(record.title == title, row.field != "title");
    EXPECT_EQ(record.thumbnail, row.field != "thumbnail");
    EXPECT_EQ(record.description == "Description", row.field != "description");
    EXPECT_EQ(record.reportType == "Icon", row.field != "icon");
    EXPECT_TRUE(record.hasFile);
  }
}

TEST_F(AddObjectsTest, AnUpdatedReportWarnsAboutItsIconOnTheFirstPropertyCall) {
  bool overwrite = true;
  int32_t id = -1;
  korva::setServerFaultPlan("setProperty#1");
  ASSERT_EQ(client().addReport("Old", "", "Icon", reportFile("old.rpt").c_str(), true, &overwrite,
                               existingFolder, &id),
            kStatusOk);
  EXPECT_TRUE(overwrite);
  EXPECT_EQ(id, existingReport);
  EXPECT_EQ(takeLines(), join({{W("Unable to set the icon property of report Old.")},
                               detail("setProperty"),
                               {I("Successfully updated report Old with id " + num(id) +
                                  " to Veltrane Enterprise.")}}));
}

}  // namespace
