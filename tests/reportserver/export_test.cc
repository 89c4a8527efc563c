// korvaserver export's parts: the safe names of the tree, the plan of a
// snapshot (the instructions file it writes and a warning, in exact words,
// for every case that file cannot say), and the writing, which leaves
// nothing behind when it fails midway.
#include <filesystem>
#include <string>
#include <vector>

#include "platform/crt_path.h"
#include "platform/filesys.h"
#include "platform/new_tree.h"
#include "reportserver/admin/export_command.h"
#include "reportserver/admin/export_names.h"
#include "reportserver/admin/export_plan.h"
#include "tests/reportserver/server_fixture.h"

namespace korva_rs_test {
namespace {

using korva::ObjectRecord;
using korva::RepositorySnapshot;
using korva::RightRecord;

TEST(ExportNamesTest, MakesNamesSafeByOneRule) {
  struct Case {
    std::string stem, extension, safe, how;
  };
  const std::string chars = "with each character that a file name cannot hold made \"_\"";
  const std::vector<Case> cases = {
      {"Finance", "", "Finance", ""},
      {"\xc3\x9c"
       "bersicht",
       ".rpt",
       "\xc3\x9c"
       "bersicht",
       ""},
      {"a/b\\c:d*e?f\"g<h>i|j", "", "a_b_c_d_e_f_g_h_i_j", chars},
      {"tab\there\x7f\xc2\x9b", ".RPT", "tab_here__", chars},
      {"end. .", "", "end___", "with the dots and spaces at its end made \"_\""},
      {"end.", ".rpt", "end.", ""},
      {"CON", "", "CON_", "with \"_\" put after the device name"},
      {"lpt1.x", ".rpt", "lpt1_.x", "with \"_\" put after the device name"},
      {"com10", "", "com10", ""},
      {"", "", "_", "with \"_\" for the empty name"},
      {std::string(150, 'a') + "\xc3\xa9" + std::string(100, 'b'), ".rpt",
       std::string(150, 'a') + "\xc3\xa9" + std::string(44, 'b'),
       "with its length cut to 200 bytes"},
      {"a:" + std::string(300, 'x'), "", "a_" + std::string(198, 'x'),
       chars + " and its length cut to 200 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stem);
    const korva::SafeName safe = korva::safeName(c.stem, c.extension);
    EXPECT_EQ(safe.stem, c.safe);
    EXPECT_EQ(safe.how, c.how);
  }
  EXPECT_EQ(korva::foldedName("Q1 \xc3\x84\xc3\x97\xc3\xa4.RPT"),
            "q1 \xc3\xa4\xc3\x97\xc3\xa4.rpt");
}

// Snapshots with the plugins of a new repository: Folder 1, Report 2,
// Program 8, User 16.
ObjectRecord folder(int32_t id, int32_t parent, const std::string& title,
                    const std::string& description = "") {
  ObjectRecord o;
  o.id = id, o.typeId = 1, o.parentId = parent, o.title = title, o.description = description;
  return o;
}

ObjectRecord report(int32_t id, int32_t parent, const std::string& title, const std::string& file,
                    const std::string& description = "") {
  ObjectRecord o;
  o.id = id, o.typeId = 2, o.parentId = parent, o.title = title, o.description = description;
  o.thumbnail = true, o.hasFile = !file.empty(), o.fileName = file;
  o.fileSize = 3, o.fileSha256 = "digest";
  return o;
}

ObjectRecord user(int32_t id, const std::string& name) {
  ObjectRecord u;
  u.id = id, u.typeId = 16, u.title = name;
  return u;
}

template <typename Change>
ObjectRecord with(ObjectRecord o, Change change) {
  change(o);
  return o;
}

RepositorySnapshot snapshotOf(std::vector<ObjectRecord> objects,
                              std::vector<ObjectRecord> users = {},
                              std::vector<RightRecord> rights = {}) {
  RepositorySnapshot s;
  s.aps = "source";
  s.plugins = {{1, 1, "Folder", korva::PluginKind::Folder},
               {2, 2, "Report", korva::PluginKind::Report},
               {3, 8, "Program", korva::PluginKind::Other},
               {5, 16, "User", korva::PluginKind::User}};
  s.users = {user(7, "Administrator")};
  s.users.insert(s.users.end(), users.begin(), users.end());
  s.objects = std::move(objects);
  s.rights = std::move(rights);
  return s;
}

TEST(ExportPlanTest, WritesTheEntriesThatAPublishReadsBack) {
  const RepositorySnapshot s = snapshotOf(
      {folder(10, 0, "Finance", "Numbers & \"facts\"\n<2024>\t"),
       report(11, 10, "First Quarter Summary", "Q1 Summary.rpt"), folder(12, 10, "Archive"),
       report(13, 12, "First Quarter Summary", "Q1 Summary.rpt"),
       with(report(14, 0, "staff", "staff.RPT", "People"),
            [](ObjectRecord& o) { o.reportType = "rpt"; })},
      {with(user(8, "sales1"),
            [](ObjectRecord& u) { u.fullName = "Sales Lead", u.licenseType = 0; }),
       with(user(9, "audit1"), [](ObjectRecord& u) { u.description = "Checks"; })},
      {{10, 8, 2}, {10, 9, 5}, {10, 7, 5}});
  korva::ExportPlan plan;
  std::string error;
  ASSERT_TRUE(korva::planExport(s, "", &plan, &error)) << error;
  EXPECT_EQ(plan.warnings, std::vector<std::string>());
  EXPECT_EQ(plan.instructions,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<!-- Written by korvaserver export: publish it with korvapush -srcfile publish.xml\n"
            "     -srcpath reports from this directory. -->\n"
            "<publish>\n"
            "  <users>\n"
            "    <user name=\"sales1\" full=\"Sales Lead\" named=\"1\" right=\"View\"/>\n"
            "    <user name=\"audit1\" desc=\"Checks\" right=\"FullControl\"/>\n"
            "  </users>\n"
            "  <folders>\n"
            "    <folder name=\"Finance\" desc=\"Numbers &amp; &quot;facts&quot;&#10;&lt;2024&gt;"
            "&#9;\"/>\n"
            "  </folders>\n"
            "  <reports>\n"
            "    <report name=\"Q1 Summary\" title=\"First Quarter Summary\"/>\n"
            "    <report name=\"staff\" title=\"staff\" desc=\"People\" icon=\"rpt\"/>\n"
            "  </reports>\n"
            "</publish>\n");
  const std::vector<korva::ExportPath> directories = {{"Finance"}, {"Finance", "Archive"}};
  EXPECT_EQ(plan.directories, directories);
  ASSERT_EQ(plan.files.size(), 3u);
  EXPECT_EQ(plan.files[1].path, korva::ExportPath({"Finance", "Archive", "Q1 Summary.rpt"}));
  EXPECT_EQ(plan.files[1].report, "Finance\\Archive\\First Quarter Summary");
  EXPECT_EQ(plan.files[2].path, korva::ExportPath({"staff.RPT"}));
  EXPECT_EQ(plan.folders, 2);
  EXPECT_EQ(plan.reports, 3);
  EXPECT_EQ(plan.users, 2);

  // A folder path alone: that folder at the top, its rights the users'.
  ASSERT_TRUE(korva::planExport(s, "Finance\\Archive", &plan, &error)) << error;
  EXPECT_EQ(plan.directories, std::vector<korva::ExportPath>({{"Archive"}}));
  EXPECT_EQ(plan.files[0].path, korva::ExportPath({"Archive", "Q1 Summary.rpt"}));
  EXPECT_EQ(plan.warnings, std::vector<std::string>({
                               "User \"sales1\" has no right on any top-level folder; it is "
                               "exported without one, which the publish reports as not valid on "
                               "every top-level folder.",
                               "User \"audit1\" has no right on any top-level folder; it is "
                               "exported without one, which the publish reports as not valid on "
                               "every top-level folder.",
                           }));
  EXPECT_FALSE(korva::planExport(s, "Finance\\Nope", &plan, &error));
  EXPECT_EQ(error, "There is no folder \"Finance\\Nope\" on APS \"source\".");
}

TEST(ExportPlanTest, WarnsOfEverythingTheInstructionsCannotSay) {
  struct Case {
    const char* what;
    RepositorySnapshot snapshot;
    std::vector<std::string> warnings;
  };
  const ObjectRecord a = folder(10, 0, "A"), b = folder(11, 0, "B");
  const ObjectRecord u1 = user(8, "u1");
  const std::vector<Case> cases = {
      {"a file name beside",
       snapshotOf({a, report(12, 10, "One", "Q1.rpt"), report(13, 10, "Two", "q1.rpt")}),
       {"Report \"A\\Two\" has a file name, \"q1.rpt\", that another file or folder beside it has "
        "(letters compared without regard to case); its file is exported as \"q1 (2).rpt\"."}},
      {"a report entry's name",
       snapshotOf({a, b, report(12, 10, "First", "Q1.rpt"), report(13, 11, "Second", "Q1.rpt")}),
       {"Report \"B\\Second\" has the file name \"Q1.rpt\" of report \"A\\First\" but another "
        "title, description or icon; its file is exported as \"Q1 (2).rpt\", since report entries "
        "are matched by file name across the whole tree."}},
      {"a sibling folder's name",
       snapshotOf({folder(10, 0, "Data"), folder(11, 0, "data")}),
       {"Folder \"data\" shares its name with another folder or file beside it (letters compared "
        "without regard to case); it is exported as \"data (2)\" and will be published with that "
        "title."}},
      {"a sibling report's title",
       snapshotOf({a, report(12, 10, "T", "x.rpt"), report(13, 10, "T", "y.rpt")}),
       {"Report \"A\\T\" shares its title with another report beside it; it is exported titled "
        "\"T (2)\"."}},
      {"a folder entry's name",
       snapshotOf({a, b, folder(12, 10, "X", "one"), folder(13, 11, "X", "two")}),
       {"Folder \"B\\X\" is described otherwise than folder \"A\\X\"; it will be published with "
        "the description of \"A\\X\", since folder entries are matched by name across the whole "
        "tree."}},
      {"a right below the top",
       snapshotOf({a, folder(12, 10, "Sub")}, {u1}, {{10, 8, 2}, {12, 8, 3}}),
       {"The right Schedule of user \"u1\" on folder \"A\\Sub\" is not exported: rights are "
        "published on top-level folders only."}},
      {"a right on a user",
       snapshotOf({a}, {u1}, {{10, 8, 2}, {7, 8, 2}}),
       {"The right View of user \"u1\" on user \"Administrator\" is not exported: rights are "
        "published on top-level folders only."}},
      {"different rights on the top",
       snapshotOf({a, b}, {u1}, {{11, 8, 5}, {10, 8, 2}}),
       {"User \"u1\" has different rights on the top-level folders; it is exported with View, "
        "its right on \"A\", which the publish grants on every top-level folder."}},
      {"a right on some of the top",
       snapshotOf({a, b}, {u1}, {{10, 8, 4}}),
       {"User \"u1\" has no right on the top-level folder \"B\"; the publish grants it "
        "ViewOnDemand there too."}},
      {"no right",
       snapshotOf({a}, {u1}),
       {"User \"u1\" has no right on any top-level folder; it is exported without one, which "
        "the publish reports as not valid on every top-level folder."}},
      {"a folder's name",
       snapshotOf({folder(10, 0, "in/out")}),
       {"Folder \"in/out\" has a name that a file system cannot hold; it is exported as "
        "\"in_out\", with each character that a file name cannot hold made \"_\", and will be "
        "published with that title."}},
      {"a device name",
       snapshotOf({folder(10, 0, "aux")}),
       {"Folder \"aux\" has a name that a file system cannot hold; it is exported as \"aux_\", "
        "with \"_\" put after the device name, and will be published with that title."}},
      {"a report's file name",
       snapshotOf({a, report(12, 10, "T", "a:b.rpt")}),
       {"Report \"A\\T\" has a file name, \"a:b.rpt\", that a file system cannot hold; its file "
        "is exported as \"a_b.rpt\", with each character that a file name cannot hold made "
        "\"_\", and its title is kept in its entry."}},
      {"a file a publish does not take",
       snapshotOf({a, report(12, 10, "T", "data.bin")}),
       {"Report \"A\\T\" has the file \"data.bin\", which a publish does not take for a report; "
        "it is exported as \"data.bin.rpt\"."}},
      {"no file",
       snapshotOf({a, report(12, 10, "T", "")}),
       {"Report \"A\\T\" has no file; it is not exported."}},
      {"no title",
       snapshotOf({a, report(12, 10, "", "x.rpt")}),
       {"Report \"A\\\" has no title; it will be published titled \"x\"."}},
      {"no thumbnail",
       snapshotOf(
           {a, with(report(12, 10, "T", "x.rpt"), [](ObjectRecord& o) { o.thumbnail = false; })}),
       {"Report \"A\\T\" has its thumbnail setting off; the publish turns it on."}},
      {"characters XML cannot hold",
       snapshotOf({a, report(12, 10, "T", "x.rpt", "a\x01z")}),
       {"The description of report \"A\\T\" holds characters that an XML file cannot hold; they "
        "are left out."}},
      {"another kind",
       snapshotOf({a, with(folder(12, 10, "Tool"), [](ObjectRecord& o) { o.typeId = 8; })}),
       {"Object \"A\\Tool\" of type Program is neither a folder nor a report; it is not exported, "
        "nor is anything in it."}},
      {"an unseen folder",
       snapshotOf({a, report(12, 99, "T", "x.rpt")}),
       {"Report \"T\" lies in a folder that this logon may not see; it is not exported, nor is "
        "anything in it."}},
      {"a password",
       snapshotOf({}, {with(u1, [](ObjectRecord& u) { u.hasPassword = true; })}),
       {"User \"u1\" has a password, which is never exported; the user is published without "
        "one."}},
      {"password options",
       snapshotOf({}, {with(u1, [](ObjectRecord& u) { u.passwordOptions[1] = true; })}),
       {"User \"u1\" has password options set; the publish clears them."}},
      {"a licence type",
       snapshotOf({}, {with(u1, [](ObjectRecord& u) { u.licenseType = 3; })}),
       {"User \"u1\" has the licence type 3; it is exported as a concurrent user."}},
      {"users a publish cannot name",
       snapshotOf({}, {u1, user(9, ""), user(10, "u1"), user(11, "dom\\joe")}),
       {"A user without a name is not exported.",
        "A second user named \"u1\" is not exported, as users are published by name.",
        "User \"dom\\joe\" has \"\\\" in its name, which a publish does not take; it is not "
        "exported."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    korva::ExportPlan plan;
    std::string error;
    ASSERT_TRUE(korva::planExport(c.snapshot, "", &plan, &error)) << error;
    EXPECT_EQ(plan.warnings, c.warnings);
  }
}

// Writing fails midway (at the fifth directory or file made, the third, or
// the move at the end): nothing is left, neither the directory asked for
// nor the one it was filled in.
class ExportWriteTest : public ServerTest {};

class FailingTree : public korva::NewTreeWrapper {
 public:
  FailingTree(int failAt, bool failMove) : failAt_(failAt), failMove_(failMove) {}
  int makeDirectory(const std::string& path) override {
    return ++made_ == failAt_ ? ENOSPC : target_.makeDirectory(path);
  }
  korva::StdioFile createFile(const std::string& path, int* error) override {
    if (++made_ == failAt_) {
      *error = ENOSPC;
      return nullptr;
    }
    return target_.createFile(path, error);
  }
  int moveDirectory(const std::string& from, const std::string& to) override {
    return failMove_ ? EXDEV : target_.moveDirectory(from, to);
  }

 private:
  int failAt_;
  bool failMove_;
  int made_ = 0;
};

TEST_F(ExportWriteTest, AFailureMidwayLeavesNothing) {
  Connection c = connect();
  const int32_t finance = addFolder(c, L"Finance");
  addReport(c, L"Q1", finance, writeFile("q1.rpt", "abc"));
  addReport(c, L"Q2", finance, writeFile("q2.rpt", "def"));
  const std::string out = (home_ / "out").string();
  const std::string partial = out + ".partial-1";
  struct Case {
    int failAt;
    bool failMove;
    std::string error;
  };
  const std::string sep(1, korva::kNativePathSeparator);
  const std::string noSpace = korva::errorText(ENOSPC);
  const std::vector<Case> cases = {
      {5, false,
       "Cannot create the file \"" + partial + sep + "reports" + sep + "Finance" + sep +
           "q2.rpt\": " + noSpace + ". Nothing was exported."},
      {3, false,
       "Cannot make the directory \"" + partial + sep + "reports" + sep + "Finance\": " + noSpace +
           ". Nothing was exported."},
      {0, true,
       "Cannot give \"" + partial + "\" the name \"" + out + "\": " + korva::errorText(EXDEV) +
           ". Nothing was exported."},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.failAt);
    FailingTree tree(k.failAt, k.failMove);
    korva::ScopedNewTreeForTesting installed(&tree);
    korva::ExportSettings settings;
    settings.apsName = "localhost";
    settings.outDir = out;
    std::vector<std::string> lines;
    std::string error;
    EXPECT_FALSE(korva::runExport(settings, &lines, &error));
    EXPECT_EQ(error, k.error);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_FALSE(std::filesystem::exists(partial));
  }
}

}  // namespace
}  // namespace korva_rs_test
