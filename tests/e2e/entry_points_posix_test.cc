// The engine library's exports as nm lists them, against the build's list of
// them (KORVA_KORVALINK_EXPORTS; the Windows build checks korvalink.dll's
// exports with objdump: WindowsDeliverable.korvalink), and
// non-ASCII names through the wide entry points in a UTF-8 locale, which the
// Windows C runtime has none of.
#include <set>
#include <sstream>

#include "e2e/entry_points_fixture.h"

namespace e2e {
namespace {

// Multibyte text in the process's current character type, as wide text.
std::wstring wide(const std::string& text) {
  std::wstring out(text.size() + 1, L'\0');
  size_t n = std::mbstowcs(out.data(), text.c_str(), out.size());
  EXPECT_NE(n, static_cast<size_t>(-1)) << text;
  out.resize(n == static_cast<size_t>(-1) ? 0 : n);
  return out;
}

TEST_F(EntryPointsTest, ExportsExactlyTheSixEntryPoints) {
  ProgramRun nm = runProgram("/usr/bin/nm", {"-D", "--defined-only", libraryPath()});
  ASSERT_EQ(nm.exitCode, 0) << nm.err;
  std::set<std::string> names;
  for (const std::string& line : splitLines(nm.out)) {
    std::string::size_type space = line.rfind(' ');
    std::string name = line.substr(space + 1);
    char type = line.size() > 17 ? line[17] : '?';
    // Absolute symbols are version nodes, not code or data.
    if (type != 'A') names.insert(name);
  }
  std::set<std::string> exports;
  std::istringstream list(KORVA_KORVALINK_EXPORTS);
  for (std::string name; std::getline(list, name, ',');) exports.insert(name);
  EXPECT_EQ(exports.size(), 6u) << KORVA_KORVALINK_EXPORTS;
  EXPECT_EQ(names, exports);
  auto testFcn = function<TestFcnType>("TestFcn");
  ASSERT_NE(testFcn, nullptr);
  testFcn();
}

TEST_F(EntryPointsTest, WideEntryPointsCarryNonAsciiNames) {
  ScopedCType utf8("C.UTF-8");
  ASSERT_EQ(server_.init(kAps).exitCode, 0);
  fs::path source = work_.path() / u8"Quellen-\u00e4";
  writeFile(source / u8"B\u00fccher" / u8"\u00dcbersicht.rpt", "report bytes\n");
  fs::path instructions = work_.path() / u8"ver\u00f6ffentlichen.xml";
  writeFile(instructions,
            u8"<publish><users right=\"View\"><user name=\"j\u00f6rg\" full=\"J\u00f6rg "
            u8"M\u00fcller\"/></users>"
            u8"<folders><folder name=\"B\u00fccher\" desc=\"F\u00fcr alle\"/></folders>"
            u8"<reports><report name=\"\u00dcbersicht\" title=\"Jahres\u00fcbersicht\"/>"
            u8"</reports></publish>");
  fs::path log = work_.path() / u8"protokoll-\u00f6.log";

  auto publish = function<PublishW>("doPublishW");
  ASSERT_NE(publish, nullptr);
  std::wstring aps(kAps, kAps + sizeof kAps - 1);
  EXPECT_EQ(
      publish(aps.c_str(), L"Administrator", L"", L"secEnterprise", wide(log.string()).c_str(),
              wide(instructions.string()).c_str(), wide(source.string()).c_str()),
      0);

  Json server = server_.dump(kAps);
  int64_t user = userIdOf(server, u8"j\u00f6rg");
  int64_t folder = folderIdAt(server, u8"B\u00fccher");
  int64_t report = reportIdAt(server, u8"B\u00fccher", u8"Jahres\u00fcbersicht");
  ASSERT_GE(user, 0);
  ASSERT_GE(folder, 0);
  ASSERT_GE(report, 0);
  EXPECT_EQ((*findUser(server, u8"j\u00f6rg"))["fullName"].text, u8"J\u00f6rg M\u00fcller");
  EXPECT_EQ((*findObject(server, "Folder", u8"B\u00fccher", 0))["description"].text,
            u8"F\u00fcr alle");

  Lines expected = {
      std::string(LOG_INFO_PUB "Successfully initialized connection to APS ") + kAps +
          " as Administrator.",
      addedLine("user", u8"j\u00f6rg", std::to_string(user)),
      addedLine("folder", u8"B\u00fccher", std::to_string(folder)),
      rightLine("View", std::to_string(folder), std::to_string(user)),
      addedLine("report", u8"Jahres\u00fcbersicht", std::to_string(report)),
  };
  append(&expected, publishSummary(instructions.string(), 1, 0, 0, 1, 0, 0, 1, 0, 0));
  EXPECT_EQ(maskedFileLines(log), expected);

  // And away again through the wide delete.
  auto remove = function<PublishW>("doDeleteW");
  ASSERT_NE(remove, nullptr);
  fs::path deleteLog = work_.path() / u8"l\u00f6schen.log";
  EXPECT_EQ(remove(aps.c_str(), nullptr, nullptr, nullptr, wide(deleteLog.string()).c_str(),
                   L"B\u00fccher", L"B\u00fccher\\Jahres\u00fcbersicht"),
            0);
  Lines deleted = {
      std::string(LOG_INFO_PUB "Successfully initialized connection to APS ") + kAps +
          " as Administrator.",
      LOG_INFO_PUB u8"Successfully deleted report Jahres\u00fcbersicht from Veltrane Enterprise.",
      LOG_INFO_PUB u8"Successfully deleted folder B\u00fccher from Veltrane Enterprise.",
  };
  append(&deleted, deleteSummary(1, 0, 1, 0));
  EXPECT_EQ(maskedFileLines(deleteLog), deleted);
  EXPECT_EQ(server_.dump(kAps)["objects"].size(), 0u);
}

}  // namespace
}  // namespace e2e
