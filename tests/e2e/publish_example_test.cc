// The worked example end to end: korvapush publishes examples/publish.xml and
// the example tree to a fresh embedded server, then publishes it again. The
// log is checked line by line (time stamps masked), and `korvaserver dump`
// shows what the server holds.
#include <algorithm>

#include "e2e/e2e_fixture.h"

namespace e2e {
namespace {

using Rights = std::vector<std::pair<int64_t, int64_t>>;

Rights sorted(Rights rights) {
  std::sort(rights.begin(), rights.end());
  return rights;
}

// Ids of what the example puts on the server, read from a dump.
struct ExampleIds {
  int64_t audit1 = -1;
  int64_t sales1 = -1;
  int64_t finance = -1;
  int64_t archive = -1;
  int64_t hr = -1;
  int64_t financeReport = -1;
  int64_t archiveReport = -1;
  int64_t staff = -1;

  explicit ExampleIds(const Json& dump) {
    if (const Json* u = findUser(dump, "audit1")) audit1 = (*u)["id"].integer();
    if (const Json* u = findUser(dump, "sales1")) sales1 = (*u)["id"].integer();
    if (const Json* o = findObject(dump, "Folder", "Finance", 0)) finance = (*o)["id"].integer();
    if (const Json* o = findObject(dump, "Folder", "HR", 0)) hr = (*o)["id"].integer();
    if (const Json* o = findObject(dump, "Folder", "Archive", finance)) {
      archive = (*o)["id"].integer();
    }
    if (const Json* o = findObject(dump, "Report", "First Quarter Summary", finance)) {
      financeReport = (*o)["id"].integer();
    }
    if (const Json* o = findObject(dump, "Report", "First Quarter Summary", archive)) {
      archiveReport = (*o)["id"].integer();
    }
    if (const Json* o = findObject(dump, "Report", "staff", hr)) staff = (*o)["id"].integer();
  }
};

class PublishExampleTest : public E2ETest {
 protected:
  ProgramRun publishExample() const { return push(examplePublishXml(), tree().string()); }
};

TEST_F(PublishExampleTest, FirstRunAddsEverythingTheExampleDescribes) {
  ProgramRun run = publishExample();
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");

  Json server = dump();
  ExampleIds ids(server);

  // Users: audit1 and sales1 only; the nameless and the misplaced entries
  // were skipped by the reader.
  const Json* audit1 = findUser(server, "audit1");
  const Json* sales1 = findUser(server, "sales1");
  ASSERT_TRUE(audit1 && sales1);
  EXPECT_EQ(findUser(server, "late"), nullptr);
  EXPECT_EQ((*audit1)["fullName"].text, "");
  EXPECT_EQ((*audit1)["licenseType"].integer(), 1);
  EXPECT_FALSE((*audit1)["hasPassword"].boolean);
  EXPECT_EQ((*sales1)["fullName"].text, "Sales Lead");
  EXPECT_EQ((*sales1)["licenseType"].integer(), 0);

  // Folders: Finance with its own entry, Archive and HR with the defaults;
  // rights on the top-level folders only.
  const Json* finance = findObject(server, "Folder", "Finance", 0);
  const Json* hr = findObject(server, "Folder", "HR", 0);
  const Json* archive = findObject(server, "Folder", "Archive", ids.finance);
  ASSERT_TRUE(finance && hr && archive);
  EXPECT_EQ((*finance)["description"].text, "Finance department");
  EXPECT_EQ((*hr)["description"].text, "Published reports");
  EXPECT_EQ((*archive)["description"].text, "Published reports");
  Rights expectedRights = sorted({{ids.audit1, 5}, {ids.sales1, 2}});
  EXPECT_EQ(sorted(rightsOf(*finance)), expectedRights);
  EXPECT_EQ(sorted(rightsOf(*hr)), expectedRights);
  EXPECT_TRUE(rightsOf(*archive).empty());

  // Reports: both Q1 Summary files under their entry's title, staff under
  // its base name; each holds its own file.
  struct Expected {
    const char* title;
    int64_t parent;
    const char* file;
  } reports[] = {
      {"First Quarter Summary", ids.finance, "Finance/Q1 Summary.rpt"},
      {"First Quarter Summary", ids.archive, "Finance/Archive/Q1 Summary.rpt"},
      {"staff", ids.hr, "HR/staff.rpt"},
  };
  for (const Expected& e : reports) {
    SCOPED_TRACE(e.file);
    const Json* report = findObject(server, "Report", e.title, e.parent);
    ASSERT_NE(report, nullptr);
    EXPECT_EQ((*report)["description"].text, "");
    EXPECT_EQ((*report)["reportType"].text, "");
    EXPECT_TRUE((*report)["thumbnail"].boolean);
    EXPECT_EQ((*report)["file"]["sha256"].text, sha256OfFile(tree() / e.file));
    EXPECT_EQ((*report)["file"]["size"].integer(),
              static_cast<int64_t>(fs::file_size(tree() / e.file)));
  }
  EXPECT_EQ(server["objects"].size(), 6u);

  Lines expected = {kWarnNoName, kWarnOutside, connected(),
                    addedLine("user", "audit1", id(ids.audit1)),
                    addedLine("user", "sales1", id(ids.sales1))};
  auto rightsLines = [&](int64_t folder) {
    return Lines{rightLine("FullControl", id(folder), id(ids.audit1)),
                 rightLine("View", id(folder), id(ids.sales1))};
  };
  auto withRights = [&](Lines lines, int64_t folder) {
    append(&lines, rightsLines(folder));
    return lines;
  };
  appendWalkLines(
      &expected, tree(),
      {{"Finance", withRights({addedLine("folder", "Finance", id(ids.finance))}, ids.finance)},
       {"HR", withRights({addedLine("folder", "HR", id(ids.hr))}, ids.hr)},
       {"Finance/Archive", {addedLine("folder", "Archive", id(ids.archive))}},
       {"Finance/Q1 Summary.rpt",
        {addedLine("report", "First Quarter Summary", id(ids.financeReport))}},
       {"Finance/Archive/Q1 Summary.rpt",
        {addedLine("report", "First Quarter Summary", id(ids.archiveReport))}},
       {"HR/staff.rpt", {addedLine("report", "staff", id(ids.staff))}}});
  append(&expected, publishSummary(examplePublishXml(), 2, 0, 0, 3, 0, 0, 3, 0, 0));
  EXPECT_EQ(maskedLines(run.out), expected);
}

TEST_F(PublishExampleTest, SecondRunUpdatesWhatMayBeOverwrittenAndSkipsTheRest) {
  ASSERT_EQ(publishExample().exitCode, 0);
  Json before = dump();
  ExampleIds ids(before);

  ProgramRun run = publishExample();
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");

  // audit1 may not be overwritten: skipped, and so it gets no rights in this
  // run; sales1 is updated and gets its right again.
  Lines expected = {kWarnNoName,
                    kWarnOutside,
                    connected(),
                    LOG_ERROR_PUB "Failed to add user audit1 as the user already exists.",
                    LOG_ERROR_PUB "Failed to add user audit1 to Veltrane Enterprise.",
                    updatedLine("user", "sales1", id(ids.sales1))};
  auto reportExists = [](const char* title) {
    return Lines{
        LOG_ERROR_PUB "Failed to add report " + std::string(title) +
            " as the report already exists.",
        LOG_ERROR_PUB "Failed to add report " + std::string(title) + " to Veltrane Enterprise."};
  };
  auto topFolder = [&](const char* name, int64_t folder) {
    return Lines{updatedLine("folder", name, id(folder)),
                 rightLine("View", id(folder), id(ids.sales1))};
  };
  appendWalkLines(&expected, tree(),
                  {{"Finance", topFolder("Finance", ids.finance)},
                   {"HR", topFolder("HR", ids.hr)},
                   {"Finance/Archive", {updatedLine("folder", "Archive", id(ids.archive))}},
                   {"Finance/Q1 Summary.rpt", reportExists("First Quarter Summary")},
                   {"Finance/Archive/Q1 Summary.rpt", reportExists("First Quarter Summary")},
                   {"HR/staff.rpt", reportExists("staff")}});
  append(&expected, publishSummary(examplePublishXml(), 0, 1, 1, 0, 3, 0, 0, 0, 3));
  EXPECT_EQ(maskedLines(run.out), expected);

  // Nothing new on the server; the same objects under the same ids.
  Json after = dump();
  EXPECT_EQ(after["objects"].size(), before["objects"].size());
  EXPECT_EQ(after["users"].size(), before["users"].size());
  ExampleIds again(after);
  EXPECT_EQ(again.finance, ids.finance);
  EXPECT_EQ(again.archive, ids.archive);
  EXPECT_EQ(again.staff, ids.staff);
  EXPECT_EQ(again.sales1, ids.sales1);
}

}  // namespace
}  // namespace e2e
