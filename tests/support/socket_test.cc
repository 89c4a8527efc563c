// CSISocket over a scripted net service: the version fallback of start-up and
// its internal-log lines, the stop loop's handling of error codes, and the
// official host name.
#include "support/socket.h"

#include <gtest/gtest.h>

#include <deque>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "platform/net.h"
#include "support/diagnostics.h"

namespace {

class ScriptedNet : public korva::NetService {
 public:
  int startup(int major, int minor) override {
    calls.push_back("startup " + std::to_string(major) + "." + std::to_string(minor));
    return take(&startupAnswers);
  }
  int cleanup() override {
    calls.push_back("cleanup");
    return take(&cleanupAnswers);
  }
  void cancelBlockingCall() override { calls.push_back("cancel"); }
  bool officialHostName(const char* name, std::string* out) override {
    calls.push_back(std::string("resolve ") + name);
    if (official.empty()) return false;
    *out = official;
    return true;
  }

  std::deque<int> startupAnswers;  // 0 once exhausted
  std::deque<int> cleanupAnswers;
  int cleanupAnswerWhenExhausted = 0;
  std::string official;
  std::vector<std::string> calls;

 private:
  int take(std::deque<int>* answers) {
    if (answers->empty()) return answers == &cleanupAnswers ? cleanupAnswerWhenExhausted : 0;
    int answer = answers->front();
    answers->pop_front();
    return answer;
  }
};

const char kLine2[] = "Couldn't initialize winsocks using Version 2";
const char kLine11[] = "Couldn't initialize winsocks using Version 1.1";

// The report with its line number masked.
std::string masked(const std::string& report) {
  return std::regex_replace(report, std::regex(R"(^\(socket\.cc:[0-9]+\))"), "(socket.cc:N)");
}

TEST(Socket, StartupTriesVersion2Then11AndTracesEachRefusal) {
  struct Case {
    std::deque<int> answers;
    bool started;
    std::vector<std::string> calls;
    std::vector<std::string> lines;
  } cases[] = {
      {{0}, true, {"startup 2.0"}, {}},
      {{10092, 0}, true, {"startup 2.0", "startup 1.1"}, {kLine2}},
      {{10092, 10092}, false, {"startup 2.0", "startup 1.1"}, {kLine2, kLine11}},
  };
  for (const Case& c : cases) {
    for (bool tracing : {false, true}) {
      ScriptedNet net;
      net.startupAnswers = c.answers;
      korva::ScopedNetServiceForTesting installed(&net);
      if (tracing) {
        ASSERT_TRUE(SDiagnostics::start({"trace"}));
      }
      EXPECT_EQ(CSISocket::startup(), c.started);
      std::vector<std::string> reports = SDiagnostics::takeReports();
      if (tracing) SDiagnostics::stop();
      EXPECT_EQ(net.calls, c.calls);
      if (!tracing) {
        EXPECT_TRUE(reports.empty());
        continue;
      }
      std::vector<std::string> expected;
      for (const std::string& line : c.lines) {
        expected.push_back("(socket.cc:N): trace message: " + line);
      }
      for (std::string& report : reports) report = masked(report);
      EXPECT_EQ(reports, expected);
    }
  }
}

TEST(Socket, StartupWritesNothingWhileTheLogIsStartedWithoutTracing) {
  ScriptedNet net;
  net.startupAnswers = {10092, 10092};
  korva::ScopedNetServiceForTesting installed(&net);
  ASSERT_TRUE(SDiagnostics::start({}));
  EXPECT_FALSE(CSISocket::startup());
  EXPECT_TRUE(SDiagnostics::takeReports().empty());
  SDiagnostics::stop();
}

TEST(Socket, CleanupRetriesUntilTheLayerStopsOrIsNotStarted) {
  struct Case {
    std::deque<int> answers;
    int whenExhausted;
    std::vector<std::string> calls;
  } cases[] = {
      {{}, 0, {"cleanup"}},
      {{10093}, 0, {"cleanup"}},
      {{10036, 0}, 0, {"cleanup", "cancel", "cleanup"}},
      {{10036, 10036, 10093}, 0, {"cleanup", "cancel", "cleanup", "cancel", "cleanup"}},
      {{10050, 10050, 0}, 0, {"cleanup", "cleanup", "cleanup"}},
      {{10050, 10093}, 0, {"cleanup", "cleanup"}},
  };
  for (const Case& c : cases) {
    ScriptedNet net;
    net.cleanupAnswers = c.answers;
    net.cleanupAnswerWhenExhausted = c.whenExhausted;
    korva::ScopedNetServiceForTesting installed(&net);
    CSISocket::cleanup();
    EXPECT_EQ(net.calls, c.calls);
  }
}

TEST(Socket, CleanupGivesUpAfterItsBound) {
  for (int error : {10050, 10036}) {
    ScriptedNet net;
    net.cleanupAnswerWhenExhausted = error;
    korva::ScopedNetServiceForTesting installed(&net);
    CSISocket::cleanup();
    int stops = 0;
    for (const std::string& call : net.calls) stops += call == "cleanup";
    EXPECT_EQ(stops, CSISocket::kMaxCleanupTries) << error;
  }
}

TEST(Socket, OfficialHostNameAnswersZeroAndTheNameOrMinusOneAndNothing) {
  ScriptedNet net;
  korva::ScopedNetServiceForTesting installed(&net);
  SAnsiString result = "unchanged";
  EXPECT_EQ(CSISocket::getOfficialHostName("h", &result), -1);
  EXPECT_STREQ(result.getBuffer(), "unchanged");
  net.official = "h.example.org";
  EXPECT_EQ(CSISocket::getOfficialHostName("h", &result), 0);
  EXPECT_STREQ(result.getBuffer(), "h.example.org");
  EXPECT_EQ(net.calls, (std::vector<std::string>{"resolve h", "resolve h"}));
}

TEST(Socket, TheSystemResolverKnowsLocalhost) {
  EXPECT_TRUE(CSISocket::startup());
  SAnsiString result;
  EXPECT_EQ(CSISocket::getOfficialHostName("localhost", &result), 0);
  EXPECT_FALSE(result.isEmpty());
  CSISocket::cleanup();
}

}  // namespace
