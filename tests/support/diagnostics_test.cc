// Tests of the support library's diagnostics: silent until started, the exact
// assertion and trace texts once started, the start count, the switches and
// the file filter.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/diagnostics.h"
#include "support/sstring.h"

namespace {

using Lines = std::vector<std::string>;

class Diagnostics : public ::testing::Test {
 protected:
  void TearDown() override {
    while (SDiagnostics::isStarted()) SDiagnostics::stop();
  }
};

TEST_F(Diagnostics, WithoutStartNothingIsCheckedOrWritten) {
  ASSERT_FALSE(SDiagnostics::isStarted());
  EXPECT_FALSE(SDiagnostics::isCheckingOn("unit.cc"));
  EXPECT_FALSE(SDiagnostics::isTracingOn(0, "unit.cc"));
  EXPECT_FALSE(SDiagnostics::isTracingOn(1, "unit.cc"));

  ::testing::internal::CaptureStderr();
  int evaluated = 0;
  SI_CHECK(++evaluated == 0);
  SI_CHECK_MSG(false, "never shown");
  SDiagnostics::reportAssertion("unit.cc", 1, "x", "y");
  SDiagnostics::trace("unit.cc", 2, "text");
  // A string operation whose precondition fails goes on quietly.
  EXPECT_EQ(SAnsiString("abc").findString(nullptr), SAnsiString::npos);
  char small[2];
  EXPECT_EQ(SAnsiString("abc").copyTo(small, 2), -1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(evaluated, 0);  // with checking off the condition is not even evaluated
  EXPECT_TRUE(SDiagnostics::takeReports().empty());
}

TEST_F(Diagnostics, StartedReportsAssertionsWithTheExactText) {
  ASSERT_TRUE(SDiagnostics::start({}));
  EXPECT_TRUE(SDiagnostics::isCheckingOn("unit.cc"));

  ::testing::internal::CaptureStderr();
  SDiagnostics::reportAssertion("unit.cc", 12, "n > 0", "count must be positive");
  SDiagnostics::reportAssertion("unit.cc", 13, "p != 0");
  SDiagnostics::reportAssertion("unit.cc", 14, nullptr, "unconditional");
  const int line = __LINE__ + 1;
  SI_CHECK_MSG(1 + 1 == 3, "arithmetic");
  SI_CHECK(2 > 1);  // holds: nothing
  std::string err = ::testing::internal::GetCapturedStderr();

  const std::string fromMacro = std::string("assert failure: (") + __FILE__ + ":" +
                                std::to_string(line) + "). (1 + 1 == 3 : arithmetic).";
  const Lines expected = {
      "assert failure: (unit.cc:12). (n > 0 : count must be positive).",
      "assert failure: (unit.cc:13). (p != 0 : no message).",
      "assert failure: (unit.cc:14). (false : unconditional).",
      fromMacro,
  };
  EXPECT_EQ(SDiagnostics::takeReports(), expected);
  std::string joined;
  for (const std::string& l : expected) joined += l + "\n";
  EXPECT_EQ(err, joined);
  EXPECT_TRUE(SDiagnostics::takeReports().empty());  // taken once
}

TEST_F(Diagnostics, StringPreconditionsReportOnceStarted) {
  ASSERT_TRUE(SDiagnostics::start({}));
  char small[2];
  EXPECT_EQ(SAnsiString("abc").copyTo(small, 2), -1);
  Lines reports = SDiagnostics::takeReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("sstring_ansi.cc:"), std::string::npos) << reports[0];
  EXPECT_NE(reports[0].find("). (nBytesInBuffer >= nBytesUsed : no message)."), std::string::npos)
      << reports[0];
}

TEST_F(Diagnostics, StartsAreCountedUntilTheLastStop) {
  ASSERT_TRUE(SDiagnostics::start({}));
  ASSERT_TRUE(SDiagnostics::start({"noassert"}));  // a later start only counts
  EXPECT_TRUE(SDiagnostics::isCheckingOn("unit.cc"));
  SDiagnostics::stop();
  EXPECT_TRUE(SDiagnostics::isStarted());
  SDiagnostics::stop();
  EXPECT_FALSE(SDiagnostics::isStarted());
  EXPECT_FALSE(SDiagnostics::isCheckingOn("unit.cc"));
  SDiagnostics::stop();  // one stop too many does no harm
  EXPECT_FALSE(SDiagnostics::isStarted());

  ::testing::internal::CaptureStderr();
  SDiagnostics::reportAssertion("unit.cc", 1, "x");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(Diagnostics, SwitchesFromTheParameterWords) {
  struct Case {
    Lines words;
    bool checking;
    bool trace0;
    bool trace1;
  };
  const Case cases[] = {
      {{}, true, false, false},
      {{"noassert"}, false, false, false},
      {{"trace"}, true, true, false},
      {{"reqTrace", "noassert"}, false, false, true},
      {{"trace", "reqTrace"}, true, true, true},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SDiagnostics::start(c.words));
    EXPECT_EQ(SDiagnostics::isCheckingOn("a.cc"), c.checking);
    EXPECT_EQ(SDiagnostics::isTracingOn(0, "a.cc"), c.trace0);
    EXPECT_EQ(SDiagnostics::isTracingOn(1, "a.cc"), c.trace1);
    EXPECT_FALSE(SDiagnostics::isTracingOn(2, "a.cc"));
    SDiagnostics::stop();
  }
}

TEST_F(Diagnostics, FileFilterNamesUnitsForChecksAndFilesForTraces) {
  ASSERT_TRUE(SDiagnostics::start({"trace", "fileLogFilter=a.cc,src/b.cc"}));
  EXPECT_TRUE(SDiagnostics::isCheckingOn("a.cc"));
  EXPECT_TRUE(SDiagnostics::isCheckingOn("src/b.cc"));
  EXPECT_FALSE(SDiagnostics::isCheckingOn("src/a.cc"));  // checks: the unit as given
  EXPECT_FALSE(SDiagnostics::isCheckingOn("c.cc"));
  EXPECT_TRUE(SDiagnostics::isTracingOn(0, "src/a.cc"));  // traces: the file name
  EXPECT_FALSE(SDiagnostics::isTracingOn(0, "src/b.cc"));

  SDiagnostics::trace("lib/a.cc", 7, "kept");
  SDiagnostics::trace("lib/c.cc", 8, "filtered out");
  EXPECT_EQ(SDiagnostics::takeReports(), Lines{"(a.cc:7): trace message: kept"});
}

TEST_F(Diagnostics, TraceLines) {
  ASSERT_TRUE(SDiagnostics::start({"trace"}));
  SDiagnostics::trace("dir/unit.cc", 5, "hello");
  SDiagnostics::trace(nullptr, 0, "no place");
  SDiagnostics::trace("unit.cc", 0, "no line");
  EXPECT_EQ(SDiagnostics::takeReports(), (Lines{"(unit.cc:5): trace message: hello",
                                                "trace message: no place",
                                                "trace message: no line"}));
  SDiagnostics::stop();

  ASSERT_TRUE(SDiagnostics::start({}));  // trace level 0 off
  SDiagnostics::trace("unit.cc", 5, "hidden");
  EXPECT_TRUE(SDiagnostics::takeReports().empty());
}

}  // namespace
