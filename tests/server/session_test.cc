// The client's session against the embedded server: connecting, every way the
// logon and the plugin search can fail (with the exact lines and status), the
// detail text and its fallbacks, and disconnecting (the text conversion in
// session_posix_test.cc).
#include <string>

#include "server_test_util.h"

namespace {

using namespace korva_test;

class SessionTest : public korva_test::ServerClientTest {
 protected:
  int connectAdmin() {
    return client().connect(korva_test::kAps, korva_test::kAdmin, korva_test::kPassword,
                            korva_test::kAuth);
  }
};

const std::string kEstablish =
    E("Failed to establish connection to APS testaps as Administrator with secEnterprise "
      "authentication.");
const std::string kLogonLine =
    E("Failed to logon to APS testaps as Administrator with secEnterprise authentication.");
const std::string kPluginsClosing =
    E("Failed to obtain required desktop plugin interfaces for publishing objects");

TEST_F(SessionTest, ConnectLogsOnReadsTheTypeIdsAndWritesOneLine) {
  ASSERT_EQ(connectAdmin(), kStatusOk);
  EXPECT_EQ(takeLines(),
            Lines{I("Successfully initialized connection to APS testaps as Administrator.")});
  EXPECT_TRUE(client().isConnected());
  EXPECT_NE(client().userTypeId(), -1);
  EXPECT_NE(client().folderTypeId(), -1);
  EXPECT_NE(client().reportTypeId(), -1);
  EXPECT_NE(client().userTypeId(), client().folderTypeId());
  EXPECT_NE(client().folderTypeId(), client().reportTypeId());
}

TEST_F(SessionTest, LogonFailuresLeaveTheClientUnconnected) {
  auto run = [this] { return connectAdmin(); };
  runCases({
      {"connect",
       "create:SessionManager",
       run,
       {E("Failed to create an instance of Veltrane Enterprise session manager."),
        kEstablish + " System function failed."},
       kStatusSystem},
      {"connect", "logon", run, join({{kLogonLine}, detail("logon"), {kEstablish}}), kStatusServer},
      failing("connect", "getService", run,
              "Failed to obtain InfoStore service from current session.", kEstablish,
              kStatusServer),
      {"connect",
       "queryInterface:InfoStore",
       run,
       {E("Failed to obtain proper interface from the InfoStore service."), kEstablish},
       kStatusLogical},
      // The detail text cannot be read: one line says so instead.
      {"connect", "logon,create:ErrorSource", run, join({{kLogonLine}, noDetail(), {kEstablish}}),
       kStatusServer},
      {"connect", "logon,lastError", run, join({{kLogonLine}, noDetail(), {kEstablish}}),
       kStatusServer},
      {"connect", "logon,description", run, join({{kLogonLine}, noDetail(), {kEstablish}}),
       kStatusServer},
  });
  EXPECT_FALSE(client().isConnected());
  EXPECT_EQ(client().userTypeId(), -1);
}

TEST_F(SessionTest, PluginSearchFailuresLeaveTheClientUnconnected) {
  auto run = [this] {
    const int status = connectAdmin();
    EXPECT_FALSE(client().isConnected());
    return status;
  };
  const Steps step{"connect", run, kPluginsClosing};
  runCases({
      step("getPluginManager", "Failed to obtain plugin manager from current session.",
           kStatusServer),
      step("getPlugins", "Failed to obtain the list of desktop plugins from plugin manager.",
           kStatusServer),
      step("count", "Failed to obtain item count from the list of desktop plugins.", kStatusServer),
      step("item#2", "Failed to obtain plugin 2 from the list of desktop plugins.", kStatusServer),
      step("name#3", "Failed to obtain the name of desktop plugin 3.", kStatusServer),
      step("typeId#1", "Failed to obtain the type id of the user desktop plugin.", kStatusServer),
      step("typeId#2", "Failed to obtain the type id of the folder desktop plugin.", kStatusServer),
      step("typeId#3", "Failed to obtain the type id of the report desktop plugin.", kStatusServer),
  });
}

TEST_F(SessionTest, ThePluginListsEntriesAreUsedAsPluginsWithoutAskingForAnInterface) {
  // Every query for a base interface would fail: the entries are taken as
  // the list's typed answers.
  korva::setServerFaultPlan("queryInterface:Unknown,queryInterface:Dispatch");
  EXPECT_EQ(connectAdmin(), kStatusOk);
  korva::clearServerFaultPlan();
  EXPECT_EQ(takeLines(),
            Lines{I("Successfully initialized connection to APS testaps as Administrator.")});
}

TEST_F(SessionTest, AMissingPluginIsNamedWithoutDetailText) {
  struct Row {
    std::string plugins;
    std::string word;
  };
  for (const Row& row : {Row{"User", "user"}, Row{"Folder", "folder"}, Row{"Report", "report"},
                         Row{"Report,Folder", "folder"}, Row{"User,Folder,Report", "user"}}) {
    SCOPED_TRACE("plugins left out: " + row.plugins);
    korva::setServerPluginPlan(row.plugins);
    EXPECT_EQ(connectAdmin(), kStatusLogical);
    EXPECT_EQ(
        takeLines(),
        (Lines{E("Failed to obtain the " + row.word + " plugin from the list of desktop plugin."),
               kPluginsClosing}));
    EXPECT_FALSE(client().isConnected());
    korva::clearServerPluginPlan();
  }
}

TEST_F(SessionTest, APluginListedTwiceStillConnects) {
  ASSERT_EQ(connectAdmin(), kStatusOk);
  const int16_t reportType = client().reportTypeId();
  client().disconnect();
  takeLines();

  korva::setServerPluginPlan("Report*2,Folder*3");
  ASSERT_EQ(connectAdmin(), kStatusOk);
  EXPECT_EQ(takeLines(),
            Lines{I("Successfully initialized connection to APS testaps as Administrator.")});
  EXPECT_EQ(client().reportTypeId(), reportType);
}

TEST_F(SessionTest, AWrongPasswordGivesTheServersOwnReason) {
  EXPECT_EQ(client().connect(korva_test::kAps, korva_test::kAdmin, "wrong", korva_test::kAuth),
            kStatusServer);
  Lines lines = takeLines();
  ASSERT_EQ(lines.size(), 4u) << dump(lines);
  EXPECT_EQ(lines[0], kLogonLine);
  EXPECT_EQ(lines[1],
            korva_test::blanks() + "The following error is returned from Veltrane Enterprise:");
  EXPECT_EQ(lines[2].compare(0, 25, korva_test::blanks()), 0);
  EXPECT_GT(lines[2].size(), 25u);
  EXPECT_NE(lines[2][25], ' ');
  EXPECT_EQ(lines[3], kEstablish);
  EXPECT_FALSE(client().isConnected());
}

TEST_F(SessionTest, WithoutTheComponentRuntimeTheSessionManagerCannotBeCreated) {
  CoUninitialize();
  const int status = connectAdmin();
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  EXPECT_EQ(status, kStatusSystem);
  EXPECT_EQ(takeLines(),
            (Lines{E("Failed to create an instance of Veltrane Enterprise session manager."),
                   kEstablish + " System function failed."}));
}

TEST_F(SessionTest, DisconnectDropsTheSessionKeepsTheTypeIdsAndCanBeRepeated) {
  ASSERT_EQ(connectAdmin(), kStatusOk);
  const int16_t folderType = client().folderTypeId();
  takeLines();

  client().disconnect();
  EXPECT_FALSE(client().isConnected());
  EXPECT_EQ(client().folderTypeId(), folderType);
  client().disconnect();
  EXPECT_FALSE(client().isConnected());
  EXPECT_EQ(takeLines(), Lines{});

  // An unconnected client refuses work cleanly instead of touching nothing.
  int32_t id = 7;
  EXPECT_EQ(client().getFolder("Sales", 0, &id), kStatusLogical);
  EXPECT_EQ(id, 7);
  EXPECT_EQ(takeLines(), (Lines{E("Failed to obtain the list of info objects of type " +
                                  std::to_string(folderType) + " belonging to parent 0."),
                                E("Failed to get folder Sales from Veltrane Enterprise.")}));

  ASSERT_EQ(connectAdmin(), kStatusOk);
  EXPECT_TRUE(client().isConnected());
}

TEST_F(SessionTest, DetailTextIsReadFromTheErrorSource) {
  ASSERT_EQ(connectAdmin(), kStatusOk);
  takeLines();
  korva::setServerFaultPlan("commit");
  bool overwrite = false;
  int32_t id = -1;
  EXPECT_EQ(client().addFolder("Sales", "", &overwrite, 0, &id), kStatusServer);
  takeLines();
  // The last error is still the commit's.
  client().logErrorDetail();
  EXPECT_EQ(takeLines(), detail("commit"));
}

}  // namespace
