// Two runs adding the same name at once: the run whose commit comes second
// (the server refuses it a twin) goes on as if it had found the other run's
// object at its lookup, so the overwrite flag decides between an update and
// "already exists", with the lines of a found object.
#include <functional>
#include <string>
#include <vector>

#include "server_test_util.h"

namespace {

using namespace korva_test;

class LostRaceTest : public ConnectedClientTest {
 protected:
  void populate() override {
    ASSERT_EQ(rival_.connect(kAps, kAdmin, kPassword, kAuth), kStatusOk);
    bool overwrite = false;
    ASSERT_EQ(client().addFolder("Parent", "", &overwrite, 0, &parent_), kStatusOk);
  }

  void TearDown() override {
    korva::setServerOperationHook(nullptr);
    rival_.disconnect();
    ConnectedClientTest::TearDown();
  }

  // The rival adds its object just before the client's first commit reaches
  // the server: after the client's lookup found nothing.
  void rivalAddsBeforeTheNextCommit(std::function<int()> rivalAdd) {
    korva::setServerOperationHook([this, rivalAdd](const std::string& operation) {
      if (operation != "commit") return;
      korva::setServerOperationHook(nullptr);
      ASSERT_EQ(rivalAdd(), kStatusOk);
    });
  }

  CMAVEObjV85 rival_;
  int32_t parent_ = -1;
};

TEST_F(LostRaceTest, AnObjectAddedMeanwhileCountsAsFound) {
  const std::string file = reportFile("r.rpt");
  struct Case {
    std::string kind;
    std::function<int(CMAVEObjV85&, bool*, int32_t*)> add;
  };
  const std::vector<Case> kinds = {
      {"user", [](CMAVEObjV85& c, bool* overwrite,
                  int32_t* id) { return c.addUser("Racer", "", "", "", "0", overwrite, id); }},
      {"folder", [this](CMAVEObjV85& c, bool* overwrite,
                        int32_t* id) { return c.addFolder("Racer", "", overwrite, parent_, id); }},
      {"report",
       [this, file](CMAVEObjV85& c, bool* overwrite, int32_t* id) {
         return c.addReport("Racer", "", "", file.c_str(), true, overwrite, parent_, id);
       }},
  };
  for (const Case& k : kinds) {
    for (const bool overwrite : {true, false}) {
      SCOPED_TRACE(k.kind + (overwrite ? " with overwrite" : " without overwrite"));
      int32_t rivalId = -1;
      rivalAddsBeforeTheNextCommit([&] {
        bool flag = false;
        return k.add(rival_, &flag, &rivalId);
      });
      bool flag = overwrite;
      int32_t id = -1;
      const std::string added = "Successfully added " + k.kind + " Racer with id ";
      if (overwrite) {
        EXPECT_EQ(k.add(client(), &flag, &id), kStatusOk);
        EXPECT_TRUE(flag);
        EXPECT_EQ(id, rivalId);
        EXPECT_EQ(takeLines(), (Lines{I(added + num(rivalId) + " to Veltrane Enterprise."),
                                      I("Successfully updated " + k.kind + " Racer with id " +
                                        num(rivalId) + " to Veltrane Enterprise.")}));
      } else {
        EXPECT_EQ(k.add(client(), &flag, &id), kStatusLogical);
        EXPECT_FALSE(flag);
        EXPECT_EQ(
            takeLines(),
            (Lines{I(added + num(rivalId) + " to Veltrane Enterprise."),
                   E("Failed to add " + k.kind + " Racer as the " + k.kind + " already exists."),
                   E("Failed to add " + k.kind + " Racer to Veltrane Enterprise.")}));
      }
      // The rival's object is the only one: no twin was stored.
      korva::Database db;
      std::string error;
      ASSERT_TRUE(openRepository(db, &error)) << error;
      korva::Statement st(db, "SELECT COUNT(*) FROM objects WHERE title = 'Racer'");
      ASSERT_EQ(st.step(), SQLITE_ROW);
      EXPECT_EQ(st.columnInt(0), 1);
      korva::Statement clear(db, "DELETE FROM objects WHERE title = 'Racer'");
      ASSERT_TRUE(clear.run());
      takeLines();
    }
  }
}

}  // namespace
