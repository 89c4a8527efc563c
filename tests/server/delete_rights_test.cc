// Deleting folders and reports and granting rights on the embedded server:
// a folder goes with its subtree, a name not under the given parent does not
// exist, right names are exact, and every failing step gives its exact lines
// and status.
#include <string>

#include "server_test_util.h"

namespace {

using korva::InfoObject;
using korva::InfoObjects;
using korva::Ref;
using namespace korva_test;

class DeleteRightsTest : public ConnectedClientTest {
 protected:
  void populate() override {
    bool overwrite = false;
    ASSERT_EQ(client().addFolder("Top", "", &overwrite, 0, &top), kStatusOk);
    ASSERT_EQ(client().addFolder("Sub", "", &overwrite, top, &sub), kStatusOk);
    ASSERT_EQ(client().addReport("R", "", "", reportFile("r.rpt").c_str(), true, &overwrite, sub,
                                 &report),
              kStatusOk);
    ASSERT_EQ(client().addUser("Ann", "", "", "", "1", &overwrite, &ann), kStatusOk);
  }

  bool exists(int32_t id) {
    korva::ObjectRecord record;
    return stored(false, id, &record);
  }

  int32_t top = -1;
  int32_t sub = -1;
  int32_t report = -1;
  int32_t ann = -1;
};

TEST_F(DeleteRightsTest, AFolderIsDeletedWithItsSubtree) {
  EXPECT_EQ(client().deleteFolder("Top", 0), kStatusOk);
  EXPECT_EQ(takeLines(), Lines{I("Successfully deleted folder Top from Veltrane Enterprise.")});
  EXPECT_FALSE(exists(top));
  EXPECT_FALSE(exists(sub));
  EXPECT_FALSE(exists(report));

  // Gone: a second delete finds nothing.
  EXPECT_EQ(client().deleteFolder("Top", 0), kStatusLogical);
  EXPECT_EQ(takeLines(), (Lines{E("Failed to delete folder Top as the folder does not exist."),
                                E("Failed to delete folder Top from Veltrane Enterprise.")}));
}

TEST_F(DeleteRightsTest, AReportIsDeletedOnlyUnderItsParent) {
  EXPECT_EQ(client().deleteReport("R", top), kStatusLogical);
  EXPECT_EQ(client().deleteReport("r", sub), kStatusLogical);
  EXPECT_EQ(client().deleteFolder("Sub", 0), kStatusLogical);
  EXPECT_EQ(takeLines(), (Lines{E("Failed to delete report R as the report does not exist."),
                                E("Failed to delete report R from Veltrane Enterprise."),
                                E("Failed to delete report r as the report does not exist."),
                                E("Failed to delete report r from Veltrane Enterprise."),
                                E("Failed to delete folder Sub as the folder does not exist."),
                                E("Failed to delete folder Sub from Veltrane Enterprise.")}));
  EXPECT_TRUE(exists(report));

  EXPECT_EQ(client().deleteReport("R", sub), kStatusOk);
  EXPECT_EQ(takeLines(), Lines{I("Successfully deleted report R from Veltrane Enterprise.")});
  EXPECT_FALSE(exists(report));
  EXPECT_TRUE(exists(sub));
}

TEST_F(DeleteRightsTest, DeleteFailuresLeaveTheObjectInPlace) {
  auto folder = [this] { return client().deleteFolder("Sub", top); };
  auto rpt = [this] { return client().deleteReport("R", sub); };
  const std::string folderClosing = E("Failed to delete folder Sub from Veltrane Enterprise.");
  const std::string reportClosing = E("Failed to delete report R from Veltrane Enterprise.");
  const Steps folderStep{"deleteFolder", folder, folderClosing};
  const Steps reportStep{"deleteReport", rpt, reportClosing};
  runCases({
      folderStep("query",
                 "Failed to obtain the list of info objects of type " + folderType() +
                     " belonging to parent " + num(top) + ".",
                 kStatusLogical),
      folderStep("count", "Failed to obtain the info object with name Sub.", kStatusLogical),
      folderStep("remove", "Failed to delete folder Sub from the folder list.", kStatusServer),
      folderStep("commit", "Failed to commit folder changes while deleting folder Sub.",
                 kStatusServer),
      reportStep("query",
                 "Failed to obtain the list of info objects of type " + reportType() +
                     " belonging to parent " + num(sub) + ".",
                 kStatusLogical),
      reportStep("item", "Failed to obtain the info object with name R.", kStatusLogical),
      reportStep("remove", "Failed to delete report R from the folder list.", kStatusServer),
      reportStep("commit", "Failed to commit report changes while deleting report R.",
                 kStatusServer),
  });
  EXPECT_TRUE(exists(sub));
  EXPECT_TRUE(exists(report));
}

TEST_F(DeleteRightsTest, EachRightNameGivesItsRole) {
  struct Row {
    const char* right;
    int32_t role;
    int32_t object;
  };
  const Row rows[] = {{"NoAccess", 1, top},
                      {"View", 2, sub},
                      {"Schedule", 3, report},
                      {"ViewOnDemand", 4, top},
                      {"FullControl", 5, sub}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.right);
    EXPECT_EQ(client().setRight(row.object, ann, row.right), kStatusOk);
    EXPECT_EQ(takeLines(),
              Lines{I(std::string("Successfully set the right to ") + row.right + " on object " +
                      num(row.object) + " for user " + num(ann) + ".")});
    bool found = false;
    for (const korva::RightRecord& r : storedRights(row.object)) {
      if (r.userId == ann) {
        found = true;
        EXPECT_EQ(r.role, row.role);
      }
    }
    EXPECT_TRUE(found);
  }
}

TEST_F(DeleteRightsTest, AnInvalidRightNameIsRefusedWithoutTouchingTheServer) {
  // Every call the operation could make would fail and write lines of its own.
  const std::string everything =
      "query,count,item,securityInfo,principals,addPrincipal,setRole,commit";
  for (const char* right : {"view", "VIEW", "Full Control", "Viewer", "", "NoAccess "}) {
    runCases(
        {{"setRight",
          everything,
          [&] { return client().setRight(top, ann, right); },
          {E(std::string("Failed to set right as the specified right ") + right + " is not valid."),
           E(std::string("Failed to set the right to ") + right + " on object " + num(top) +
             " for user " + num(ann) + ".")},
          kStatusLogical}});
  }
  EXPECT_TRUE(storedRights(top).empty());
}

TEST_F(DeleteRightsTest, SetRightFailures) {
  auto right = [this] { return client().setRight(top, ann, "View"); };
  const std::string closing =
      E("Failed to set the right to View on object " + num(top) + " for user " + num(ann) + ".");
  const std::string object = "while setting the right for object " + num(top) + ".";
  const Steps step{"setRight", right, closing};
  runCases({
      {"setRight",
       "",
       [this] { return client().setRight(999999, ann, "View"); },
       {E("Failed to obtain the info object with id 999999."),
        E("Failed to set the right to View on object 999999 for user " + num(ann) + ".")},
       kStatusLogical},
      {"setRight",
       "",
       [this] { return client().setRight(top, 888888, "View"); },
       {E("Failed to obtain the system object with id 888888."),
        E("Failed to set the right to View on object " + num(top) + " for user 888888.")},
       kStatusLogical},
      step("query#1", "Failed to obtain the info object with id " + num(top) + ".", kStatusLogical),
      step("query#2", "Failed to obtain the system object with id " + num(ann) + ".",
           kStatusLogical),
      step("securityInfo", "Failed to obtain security information " + object, kStatusServer),
      step("principals", "Failed to obtain security principals " + object, kStatusServer),
      step("addPrincipal", "Failed to add security principal " + object, kStatusServer),
      step("setRole", "Failed to set security principal role " + object, kStatusServer),
      step("commit", "Failed to commit changes " + object, kStatusServer),
  });
  EXPECT_TRUE(storedRights(top).empty());
}

}  // namespace
