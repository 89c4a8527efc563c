// The publish handler on real instructions files: the worked example, the
// section rule, defaults, replacement of entries and a second initialize.
#include "common/test_platform.h"
#include "instructions/handler_publish.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "instructions/meta_objects.h"
#include "instructions_test_util.h"

namespace {

using korva_test::LogCapture;
using Lines = std::vector<std::string>;

const char kUserOutside[] =
    " - --- WARN  --- (config): The element \"user\", which does not appear within \"users\", "
    "is skipped.";
const char kFolderOutside[] =
    " - --- WARN  --- (config): The element \"folder\", which does not appear within \"folders\", "
    "is skipped.";
const char kReportOutside[] =
    " - --- WARN  --- (config): The element \"report\", which does not appear within \"reports\", "
    "is skipped.";
const char kUserNoName[] =
    " - --- WARN  --- (config): The element \"user\", which misses the \"name\" attribute, is "
    "skipped.";

std::string str(const SAnsiString& s) { return s.getBuffer(); }

// "name|pass|full|desc|named|right|overwrite|id" for every user, in map order.
std::vector<std::string> users(const CMAHandlerPublish& h) {
  CMAMetaObj** values = nullptr;
  int count = 0;
  EXPECT_TRUE(h.userMap.getValues(&values, &count));
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) {
    auto* u = static_cast<CMAMetaUserObj*>(values[i]);
    out.push_back(str(u->name) + "|" + str(u->pass) + "|" + str(u->full) + "|" + str(u->desc) +
                  "|" + str(u->named) + "|" + str(u->right) + "|" + str(u->overwrite) + "|" +
                  std::to_string(u->id));
  }
  delete[] values;
  return out;
}

// "desc|overwrite", or "-" when there is no entry of that name.
std::string folder(const CMAHandlerPublish& h, const char* name) {
  CMAMetaObj* o = nullptr;
  if (!h.folderMap.lookup(name, &o)) return "-";
  auto* f = static_cast<CMAMetaFolderObj*>(o);
  EXPECT_EQ(str(f->name), name);
  return str(f->desc) + "|" + str(f->overwrite);
}

// "title|desc|icon|overwrite", or "-".
std::string report(const CMAHandlerPublish& h, const char* name) {
  CMAMetaObj* o = nullptr;
  if (!h.reportMap.lookup(name, &o)) return "-";
  auto* r = static_cast<CMAMetaReportObj*>(o);
  EXPECT_EQ(str(r->name), name);
  return str(r->title) + "|" + str(r->desc) + "|" + str(r->icon) + "|" + str(r->overwrite);
}

std::string connection(const CMAHandlerPublish& h) {
  return str(h.apsName) + "|" + str(h.apsUser) + "|" + str(h.apsPass) + "|" + str(h.apsAuth);
}

std::string usersDefaults(const CMAHandlerPublish& h) {
  return str(h.usersPass) + "|" + str(h.usersFull) + "|" + str(h.usersDesc) + "|" +
         str(h.usersNamed) + "|" + str(h.usersRight) + "|" + str(h.usersOverwrite);
}
std::string foldersDefaults(const CMAHandlerPublish& h) {
  return str(h.foldersDesc) + "|" + str(h.foldersOverwrite);
}
std::string reportsDefaults(const CMAHandlerPublish& h) {
  return str(h.reportsDesc) + "|" + str(h.reportsIcon) + "|" + str(h.reportsOverwrite);
}

using HandlerPublishTest = korva_test::PublishHandlerTest;

TEST_F(HandlerPublishTest, WorkedExample) {
  ASSERT_EQ(read(R"(<?xml version="1.0" encoding="UTF-8"?>
<publish apsuser="Administrator">
  <users right="View">
    <user name="sales1" full="Sales Lead" named="1"/>
    <user name="audit1" right="FullControl" overwrite="0"/>
    <user full="Nobody"/>
  </users>
  <folders desc="Published reports">
    <folder name="Finance" desc="Finance department"/>
  </folders>
  <reports overwrite="0">
    <report name="Q1 Summary" title="First Quarter Summary"/>
  </reports>
  <user name="late"/>
</publish>
)"),
            200);
  EXPECT_EQ(lines, (Lines{kUserNoName, kUserOutside}));
  EXPECT_EQ(connection(handler), "aps.example|Administrator|runpass|secEnterprise");
  EXPECT_EQ(users(handler), (std::vector<std::string>{
                                "audit1||||0|FullControl|0|-1",
                                "sales1||Sales Lead||1|View|1|-1",
                            }));
  EXPECT_EQ(folder(handler, "Finance"), "Finance department|1");
  EXPECT_EQ(handler.folderMap.getCount(), 1);
  EXPECT_EQ(foldersDefaults(handler), "Published reports|1");
  EXPECT_EQ(report(handler, "Q1 Summary"), "First Quarter Summary|||0");
  EXPECT_EQ(handler.reportMap.getCount(), 1);
  EXPECT_EQ(reportsDefaults(handler), "||0");
  EXPECT_EQ(usersDefaults(handler), "|||0|View|1");
  EXPECT_EQ(handler.section, CMAHandlerPublish::SectionReports);
}

TEST_F(HandlerPublishTest, EntriesFollowTheLastSectionStarted) {
  struct Case {
    const char* what;
    const char* xml;
    Lines log;
    std::vector<std::string> users;
    std::string folderF;
    std::string reportR;
  } cases[] = {
      {"user after the end of users, before another section, is accepted",
       "<publish><users/><user name='u'/></publish>",
       {},
       {"u||||0||1|-1"},
       "-",
       "-"},
      {"user after a folders start is skipped",
       "<publish><users/><folders/><user name='u'/></publish>",
       {kUserOutside},
       {},
       "-",
       "-"},
      {"report after folders is skipped",
       "<publish><folders/><report name='r'/></publish>",
       {kReportOutside},
       {},
       "-",
       "-"},
      {"folder with no section at all is skipped",
       "<publish><folder name='f'/></publish>",
       {kFolderOutside},
       {},
       "-",
       "-"},
      {"entries before any section are skipped, section elements may stand anywhere",
       "<root><user name='early'/><x><y><folders desc='d'/></y></x><folder name='f'/>"
       "<z><reports icon='i'/></z><report name='r'/></root>",
       {kUserOutside},
       {},
       "d|1",
       "||i|1"},
      {"a users element inside reports makes the following entries users",
       "<publish><reports><users named='1'/><user name='u'/><report name='r'/></reports>"
       "</publish>",
       {kReportOutside},
       {"u||||1||1|-1"},
       "-",
       "-"},
      {"elements whose names merely resemble the recognised ones are ignored",
       "<publish><users right='View'><Users/><USERS/><USER name='a'/><userx name='b'/>"
       "<user2 name='c'/><us name='d'/><k:user xmlns:k='urn:k' name='e'/><user name='u'/>"
       "<Folders/><folder name='f'/></users></publish>",
       {kFolderOutside},
       {"u||||0|View|1|-1"},
       "-",
       "-"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(handler.initialize("aps", "user", "pass", "auth"), 200);
    EXPECT_EQ(read(c.xml), 200);
    EXPECT_EQ(lines, c.log);
    EXPECT_EQ(users(handler), c.users);
    EXPECT_EQ(folder(handler, "f"), c.folderF);
    EXPECT_EQ(report(handler, "r"), c.reportR);
  }
}

TEST_F(HandlerPublishTest, UsersAfterTheUsersEndTagStayInTheSection) {
  ASSERT_EQ(read("<publish><users pass='pw'/><x/><user name='u'/></publish>"), 200);
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(users(handler), (std::vector<std::string>{"u|pw|||0||1|-1"}));
}

TEST_F(HandlerPublishTest, MisnamedPublishElementsHaveNoEffect) {
  ASSERT_EQ(read("<root><Publish apsuser='x' apsname='y'/><PUBLISH apspass='z'/></root>"), 200);
  EXPECT_EQ(connection(handler), "|||");
  EXPECT_EQ(handler.section, CMAHandlerPublish::SectionNone);
}

TEST_F(HandlerPublishTest, EmptyAttributesTakeTheDefaults) {
  ASSERT_EQ(read(R"(<publish apsname="" apsuser="" apspass="" apsauth="">
  <users pass="secret" full="" desc="Staff" named="" right="" overwrite="">
    <user name="u" pass="" full="" desc="" named="" right="" overwrite=""/>
    <user name="v" pass="own" named=" 1" overwrite="true" right="view"/>
  </users>
  <folders desc="" overwrite=""><folder name="f" desc="" overwrite=""/></folders>
  <reports desc="" icon="" overwrite=""><report name="r" title="" desc="" icon="" overwrite=""/></reports>
</publish>)"),
            200);
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(connection(handler), "aps.example|runuser|runpass|secEnterprise");
  EXPECT_EQ(usersDefaults(handler), "secret||Staff|0||1");
  // Values are kept as written: nothing is trimmed or interpreted.
  EXPECT_EQ(users(handler),
            (std::vector<std::string>{"u|secret||Staff|0||1|-1", "v|own||Staff| 1|view|true|-1"}));
  EXPECT_EQ(folder(handler, "f"), "|1");
  EXPECT_EQ(foldersDefaults(handler), "|1");
  EXPECT_EQ(report(handler, "r"), "|||1");
  EXPECT_EQ(reportsDefaults(handler), "||1");
}

TEST_F(HandlerPublishTest, ASectionElementReplacesAllItsDefaultsOnly) {
  ASSERT_EQ(read(R"(<publish>
  <users pass="p1" right="View"/><folders desc="d1" overwrite="0"/><reports icon="i1"/>
  <users full="F2"/><user name="u"/>
</publish>)"),
            200);
  EXPECT_EQ(usersDefaults(handler), "|F2||0||1");
  EXPECT_EQ(users(handler), (std::vector<std::string>{"u||F2||0||1|-1"}));
  EXPECT_EQ(foldersDefaults(handler), "d1|0");
  EXPECT_EQ(reportsDefaults(handler), "|i1|1");
}

TEST_F(HandlerPublishTest, LaterEntriesReplaceEarlierOnesOfTheSameKind) {
  ASSERT_EQ(read(R"(<publish>
  <users><user name="same" full="first"/><user name="same" desc="second"/></users>
  <folders><folder name="same" desc="first"/><folder name="same" desc="second"/></folders>
  <reports><report name="same" title="First"/><report name="same" title="Second" icon="rpt"/>
           <report name="Same" title="Other case"/><report name="same.rpt" title="Ext"/></reports>
</publish>)"),
            200);
  EXPECT_TRUE(lines.empty());
  // One name serves a user, a folder and a report at the same time.
  EXPECT_EQ(users(handler), (std::vector<std::string>{"same|||second|0||1|-1"}));
  EXPECT_EQ(folder(handler, "same"), "second|1");
  EXPECT_EQ(report(handler, "same"), "Second||rpt|1");
  EXPECT_EQ(report(handler, "Same"), "Other case|||1");
  EXPECT_EQ(report(handler, "same.rpt"), "Ext|||1");
  EXPECT_EQ(handler.reportMap.getCount(), 3);
}

TEST_F(HandlerPublishTest, TheLastPublishElementGivesTheConnection) {
  ASSERT_EQ(read("<publish apsname='one' apsuser='u1'><publish apspass='p2'/></publish>"), 200);
  EXPECT_EQ(connection(handler), "aps.example|runuser|p2|secEnterprise");
}

TEST_F(HandlerPublishTest, ValuesAreDecodedAsTheDocumentSaysButNotTrimmed) {
  ASSERT_EQ(read("<publish apsuser=' a&lt;b&#x41; '/>"), 200);
  EXPECT_EQ(str(handler.apsUser), " a<bA ");
  // An entity of the document's own type declaration: wine's MSXML reader
  // expands none, so the document fails to parse there.
  if (!korva_test::xmlReaderIsExpat()) return;
  ASSERT_EQ(read("<!DOCTYPE publish [<!ENTITY co \"Korva &amp; Co\">]>"
                 "<publish apsuser=' a&lt;b&#x41;&co; '/>"),
            200);
  EXPECT_EQ(str(handler.apsUser), " a<bAKorva & Co ");
}

TEST_F(HandlerPublishTest, InitializeAgainDiscardsEverything) {
  ASSERT_EQ(read(R"(<publish apsname="x" apsuser="y" apspass="z" apsauth="w">
  <users pass="p" full="f" desc="d" named="1" right="View" overwrite="0"><user name="u"/></users>
  <folders desc="fd" overwrite="0"><folder name="f"/></folders>
  <reports desc="rd" icon="ri" overwrite="0"><report name="r"/></reports>
</publish>)"),
            200);
  ASSERT_EQ(handler.userMap.getCount(), 1);

  EXPECT_EQ(handler.initialize("second", nullptr, "", "auth2"), 200);
  EXPECT_EQ(handler.section, CMAHandlerPublish::SectionNone);
  EXPECT_EQ(str(handler.defApsName) + "|" + str(handler.defApsUser) + "|" +
                str(handler.defApsPass) + "|" + str(handler.defApsAuth),
            "second|||auth2");
  EXPECT_EQ(connection(handler), "|||");
  EXPECT_EQ(usersDefaults(handler), "|||||");
  EXPECT_EQ(foldersDefaults(handler), "|");
  EXPECT_EQ(reportsDefaults(handler), "||");
  EXPECT_EQ(handler.userMap.getCount(), 0);
  EXPECT_EQ(handler.folderMap.getCount(), 0);
  EXPECT_EQ(handler.reportMap.getCount(), 0);

  // The section does not carry over into the next file either.
  ASSERT_EQ(read("<publish><user name='u'/></publish>"), 200);
  EXPECT_EQ(lines, Lines{kUserOutside});
  EXPECT_EQ(connection(handler), "second|||auth2");
}

TEST_F(HandlerPublishTest, MinimalFileGivesTheRunsSettingsAndNothingElse) {
  ASSERT_EQ(read("<publish/>"), 200);
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(connection(handler), "aps.example|runuser|runpass|secEnterprise");
  EXPECT_EQ(handler.userMap.getCount(), 0);
  EXPECT_EQ(handler.folderMap.getCount(), 0);
  EXPECT_EQ(handler.reportMap.getCount(), 0);
  EXPECT_EQ(foldersDefaults(handler), "|");
  EXPECT_EQ(reportsDefaults(handler), "||");
}

TEST_F(HandlerPublishTest, FileWithoutPublishLeavesTheConnectionEmpty) {
  ASSERT_EQ(read("<instructions><folders desc='d'/></instructions>"), 200);
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(connection(handler), "|||");
  EXPECT_EQ(foldersDefaults(handler), "d|1");
}

TEST_F(HandlerPublishTest, ParseTextReadsADocumentInMemory) {
  LogCapture log(dir);
  EXPECT_EQ(handler.parseText(L"<publish apsuser='mem'><users/><user name='m'/></publish>"), 200);
  EXPECT_EQ(str(handler.apsUser), "mem");
  EXPECT_EQ(handler.userMap.getCount(), 1);
  EXPECT_EQ(handler.parseText(L"<publish><users>"), 1031);
  EXPECT_EQ(log.lines(), Lines{" - --- ERROR --- (config): Error occurred while parsing XML."});
}

}  // namespace
