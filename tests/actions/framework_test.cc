// The process framework: the use count, socket start-up and shut-down by the
// first and last user, the local host name, and COM on the calling thread.
// The socket layer is replaced through the net service's test hook.
#include "actions/framework.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <utility>
#include <vector>

#include "common/status.h"
#include "platform/com.h"
#include "platform/com_init_count.h"
#include "platform/net.h"

namespace {

class FakeNet : public korva::NetService {
 public:
  int startup(int major, int minor) override {
    startups.push_back(std::to_string(major) + "." + std::to_string(minor));
    return refuseStartup ? korva::kNetErrorVersionNotSupported : 0;
  }
  int cleanup() override {
    ++cleanups;
    return 0;
  }
  void cancelBlockingCall() override {}
  bool officialHostName(const char* name, std::string* out) override {
    resolved.push_back(name ? name : "(null)");
    if (throwOnResolve) throw std::bad_alloc();
    if (!resolves) return false;
    *out = officialName;
    return true;
  }

  bool refuseStartup = false;
  bool resolves = true;
  bool throwOnResolve = false;
  std::string officialName = "build-host.example.org";
  std::vector<std::string> startups;
  std::vector<std::string> resolved;
  int cleanups = 0;
};

class FrameworkTest : public ::testing::Test {
 protected:
  FakeNet net_;
  korva::ScopedNetServiceForTesting scoped_{&net_};
  CMAFramework framework_;
};

TEST_F(FrameworkTest, OnlyTheLastUninitializeShutsTheSocketLayerDown) {
  const int comBefore = korva::comInitializeCount();
  EXPECT_EQ(framework_.initialize(), kStatusOk);
  EXPECT_EQ(framework_.initialize(), kStatusOk);
  EXPECT_EQ(framework_.useCount(), 2);
  EXPECT_EQ(net_.startups, std::vector<std::string>{"2.0"});
  EXPECT_EQ(net_.resolved, std::vector<std::string>{"localhost"});
  EXPECT_EQ(korva::comInitializeCount(), comBefore + 2);
  EXPECT_EQ(CMAFramework::localHostName(), "build-host.example.org");

  framework_.uninitialize();
  EXPECT_EQ(framework_.useCount(), 1);
  EXPECT_EQ(net_.cleanups, 0);
  framework_.uninitialize();
  EXPECT_EQ(framework_.useCount(), 0);
  EXPECT_EQ(net_.cleanups, 1);
  EXPECT_EQ(korva::comInitializeCount(), comBefore);

  // Uninitialising once too often changes nothing.
  framework_.uninitialize();
  EXPECT_EQ(framework_.useCount(), 0);
  EXPECT_EQ(net_.cleanups, 1);

  // The next first user starts the layer and resolves the name again.
  net_.officialName = "renamed-host";
  EXPECT_EQ(framework_.initialize(), kStatusOk);
  EXPECT_EQ(CMAFramework::localHostName(), "renamed-host");
  EXPECT_EQ(net_.startups, (std::vector<std::string>{"2.0", "2.0"}));
  framework_.uninitialize();
  EXPECT_EQ(net_.cleanups, 2);
}

// A failure before the count is raised leaves it unchanged and the socket
// layer as it was found; the run's matching uninitialize() then takes away
// neither a use nor a COM initialisation that someone else holds.
TEST_F(FrameworkTest, StartFailuresAnswer204AndLeaveTheCountUnchanged) {
  struct Case {
    const char* name;
    bool refuseStartup, resolves, throwOnResolve;
    std::vector<std::string> startups;
    int cleanups;
  };
  const Case cases[] = {
      {"socket layer refuses both versions", true, true, false, {"2.0", "1.1"}, 0},
      {"localhost does not resolve", false, false, false, {"2.0"}, 1},
      {"resolving throws", false, true, true, {"2.0"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeNet net;
    net.refuseStartup = c.refuseStartup;
    net.resolves = c.resolves;
    net.throwOnResolve = c.throwOnResolve;
    net.officialName = "must-not-be-kept";
    korva::ScopedNetServiceForTesting scoped(&net);
    CMAFramework framework;

    const SAnsiString hostBefore = CMAFramework::localHostName();
    ASSERT_TRUE(
        SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));  // the caller's own COM use
    const int comHeld = korva::comInitializeCount();
    EXPECT_EQ(framework.initialize(), kStatusSystem);
    EXPECT_EQ(framework.useCount(), 0);
    EXPECT_EQ(net.startups, c.startups);
    EXPECT_EQ(net.cleanups, c.cleanups);
    EXPECT_EQ(CMAFramework::localHostName(), hostBefore);
    EXPECT_EQ(korva::comInitializeCount(), comHeld);

    framework.uninitialize();
    EXPECT_EQ(framework.useCount(), 0);
    EXPECT_EQ(net.cleanups, c.cleanups);
    EXPECT_EQ(korva::comInitializeCount(), comHeld) << "the caller's COM initialisation was taken";
    CoUninitialize();
  }
}

TEST_F(FrameworkTest, FailureOfTheFirstUserDoesNotDisturbALaterOne) {
  net_.resolves = false;
  EXPECT_EQ(framework_.initialize(), kStatusSystem);
  framework_.uninitialize();
  net_.resolves = true;
  EXPECT_EQ(framework_.initialize(), kStatusOk);
  EXPECT_EQ(framework_.useCount(), 1);
  EXPECT_EQ(CMAFramework::localHostName(), "build-host.example.org");
  framework_.uninitialize();
  EXPECT_EQ(net_.startups, (std::vector<std::string>{"2.0", "2.0"}));
  EXPECT_EQ(net_.cleanups, 2);
}

TEST_F(FrameworkTest, ProcessWideInstanceStartsUnused) {
  CMAFramework& framework = CMAFramework::instance();
  EXPECT_EQ(&framework, &CMAFramework::instance());
  EXPECT_EQ(framework.useCount(), 0);
  EXPECT_EQ(framework.initialize(), kStatusOk);
  EXPECT_EQ(CMAFramework::localHostName(), "build-host.example.org");
  framework.uninitialize();
  EXPECT_EQ(framework.useCount(), 0);
  EXPECT_EQ(net_.cleanups, 1);
}

}  // namespace
