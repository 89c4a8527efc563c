// CParamLineArgs: option tables from argument vectors and from one command
// line, case-insensitive lookup, repeated options, values and the rebuilds.
#include "support/param_line_args.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Table = std::vector<std::pair<std::string, std::string>>;

Table tableOf(const CParamLineArgs& args) {
  Table out;
  for (int i = 0; i < args.getCount(); ++i) {
    out.emplace_back(args.getNameAt(i).getBuffer(), args.getValueAt(i).getBuffer());
  }
  return out;
}

CParamLineArgs fromVector(std::vector<const char*> elements) {
  elements.push_back(nullptr);
  return CParamLineArgs(static_cast<int>(elements.size()) - 1, elements.data());
}

TEST(ParamLineArgs, BuildsTheOptionTableFromAnArgumentVector) {
  struct Case {
    std::vector<const char*> args;
    Table table;
  } cases[] = {
      {{"prog", "-apsname", "server1", "-apsuser", "admin"},
       {{"apsname", "server1"}, {"apsuser", "admin"}}},
      {{"prog", "-apsname", "-apsuser", "admin"}, {{"apsname", ""}, {"apsuser", "admin"}}},
      {{"prog", "-srcpath", "a", "-srcpath", "b"}, {{"srcpath", "b"}}},
      {{"prog", "-srcpath", "a", "-x", "-SRCPATH", "b"}, {{"x", ""}, {"SRCPATH", "b"}}},
      {{"prog", "stray", "-help"}, {{"help", ""}}},
      {{"prog", "-apsuser", "-admin"}, {{"apsuser", ""}, {"admin", ""}}},
      {{"prog", "--help"}, {{"help", ""}}},
      {{"prog", "---deep", "v"}, {{"deep", "v"}}},
      {{"prog", "--", "v", "-", "w"}, {{"--", "v"}, {"-", "w"}}},
      {{"prog", "-logfile", ""}, {{"logfile", ""}}},
      {{"prog", "-a", "", "b", "-c"}, {{"a", ""}, {"c", ""}}},
      {{"prog", "-a", "x y"}, {{"a", "x y"}}},
      {{"prog"}, {}},
  };
  for (const Case& c : cases) {
    CParamLineArgs args = fromVector(c.args);
    EXPECT_STREQ(args.getProgramName().getBuffer(), "prog");
    EXPECT_EQ(tableOf(args), c.table) << c.args.size();
  }
}

TEST(ParamLineArgs, ReadsTheVectorUpToItsNullEntryWhateverTheCount) {
  const char* argv[] = {"prog", "-a", "1", nullptr, "-b", "2", nullptr};
  CParamLineArgs args(6, argv);
  EXPECT_EQ(tableOf(args), (Table{{"a", "1"}}));
  CParamLineArgs fewer(1, argv);
  EXPECT_EQ(tableOf(fewer), (Table{{"a", "1"}}));
  const char* empty[] = {nullptr};
  CParamLineArgs none(0, empty);
  EXPECT_STREQ(none.getProgramName().getBuffer(), "");
  EXPECT_EQ(none.getCount(), 0);
}

TEST(ParamLineArgs, LooksNamesUpWithoutRegardToCase) {
  CParamLineArgs args = fromVector({"prog", "-APSNAME", "server1", "-Help"});
  SAnsiString value = "unchanged";
  EXPECT_TRUE(args.getValue("apsname", &value));
  EXPECT_STREQ(value.getBuffer(), "server1");
  EXPECT_EQ(args.indexOf("ApsName"), 0);
  EXPECT_EQ(args.indexOf("HELP"), 1);
  EXPECT_TRUE(args.getValue("help", &value));
  EXPECT_STREQ(value.getBuffer(), "");
  value = "unchanged";
  EXPECT_FALSE(args.getValue("apsuser", &value));
  EXPECT_STREQ(value.getBuffer(), "unchanged");
  EXPECT_EQ(args.indexOf("apsuser"), -1);
  EXPECT_EQ(args.indexOf(""), -1);
}

TEST(ParamLineArgs, SplitsOneCommandLineAtTheFourBlanks) {
  CParamLineArgs args("prog  -apsname\tserver1\r\n-HELP   -srcpath a -srcpath b\n");
  EXPECT_STREQ(args.getProgramName().getBuffer(), "prog");
  EXPECT_EQ(tableOf(args), (Table{{"apsname", "server1"}, {"HELP", ""}, {"srcpath", "b"}}));
  CParamLineArgs blank(" \t ");
  EXPECT_STREQ(blank.getProgramName().getBuffer(), "");
  EXPECT_EQ(blank.getCount(), 0);
  CParamLineArgs null(static_cast<const char*>(nullptr));
  EXPECT_EQ(null.getCount(), 0);
}

TEST(ParamLineArgs, AddReplacesAtTheEndAndRemoveTakesBothHalves) {
  CParamLineArgs args;
  EXPECT_STREQ(args.getProgramName().getBuffer(), "");
  args.add("a", "1");
  args.add("b", "2");
  args.add("A", "3");
  EXPECT_EQ(tableOf(args), (Table{{"b", "2"}, {"A", "3"}}));
  EXPECT_FALSE(args.remove("c"));
  EXPECT_TRUE(args.remove("B"));
  EXPECT_EQ(tableOf(args), (Table{{"A", "3"}}));
  // Re-adding an option from its own table entry.
  args.add(args.getNameAt(0), args.getValueAt(0));
  EXPECT_EQ(tableOf(args), (Table{{"A", "3"}}));
}

TEST(ParamLineArgs, RebuildsTheArgumentArrayAndTheCommandLine) {
  CParamLineArgs args = fromVector({"prog", "--apsname", "s1", "-help", "-srcpath", "C:\\r"});
  SIArray<SAnsiString> rebuilt = args.buildArgumentArray();
  std::vector<std::string> elements;
  for (const SAnsiString& e : rebuilt) elements.push_back(e.getBuffer());
  EXPECT_EQ(elements,
            (std::vector<std::string>{"prog", "-apsname", "s1", "-help", "-srcpath", "C:\\r"}));
  EXPECT_STREQ(args.buildCommandLine().getBuffer(), "prog -apsname s1 -help -srcpath C:\\r");
  CParamLineArgs again(args.buildCommandLine().getBuffer());
  EXPECT_EQ(tableOf(again), tableOf(args));
}

}  // namespace
