// The publish handler on files it must refuse: each ends with the documented
// lines and status, never with a crash, a hang or a read of another file.
// Also the long-path limit of the URL buffer and a large file read fully.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/test_platform.h"
#include "instructions/handler_publish.h"
#include "instructions/meta_objects.h"
#include "instructions_test_util.h"

namespace {

namespace fs = std::filesystem;
using korva_test::CtypeLocale;
using Lines = std::vector<std::string>;

const char kSecret[] = "TOPSECRET-4711";

std::string parseFailedLine(const std::string& path) {
  return " - --- ERROR --- (config): Error occurred while parsing the XML file " + path + ".";
}

// Every text the handler holds, joined.
std::string everything(const CMAHandlerPublish& h) {
  std::string all;
  for (const SAnsiString* s :
       {&h.apsName, &h.apsUser, &h.apsPass, &h.apsAuth, &h.usersPass, &h.usersFull, &h.usersDesc,
        &h.usersNamed, &h.usersRight, &h.usersOverwrite, &h.foldersDesc, &h.foldersOverwrite,
        &h.reportsDesc, &h.reportsIcon, &h.reportsOverwrite}) {
    all += s->getBuffer();
    all += '|';
  }
  for (const CMAMetaObjMap* map : {&h.userMap, &h.folderMap, &h.reportMap}) {
    CMAMetaObj** values = nullptr;
    int count = 0;
    EXPECT_TRUE(map->getValues(&values, &count));
    for (int i = 0; i < count; ++i) {
      if (auto* u = dynamic_cast<CMAMetaUserObj*>(values[i])) {
        for (const SAnsiString* s :
             {&u->name, &u->pass, &u->full, &u->desc, &u->named, &u->right, &u->overwrite}) {
          all += s->getBuffer();
        }
      } else if (auto* f = dynamic_cast<CMAMetaFolderObj*>(values[i])) {
        all += std::string(f->name.getBuffer()) + f->desc.getBuffer() + f->overwrite.getBuffer();
      } else if (auto* r = dynamic_cast<CMAMetaReportObj*>(values[i])) {
        all += std::string(r->name.getBuffer()) + r->title.getBuffer() + r->desc.getBuffer() +
               r->icon.getBuffer() + r->overwrite.getBuffer();
      }
    }
    delete[] values;
  }
  return all;
}

using HandlerBadInputTest = korva_test::PublishHandlerTest;

TEST_F(HandlerBadInputTest, DocumentsThatCannotBeReadFailTheParse) {
  const fs::path sub = dir.path() / "subdir.xml";
  fs::create_directory(sub);
  struct Case {
    const char* what;
    std::string path;
  };
  std::vector<Case> cases = {
      {"missing file", dir.file("no-such-file.xml")},
      {"file in a missing directory", dir.file("no-such-dir/publish.xml")},
      {"directory given as the file", sub.string()},
      {"empty path", ""},
      {"empty file", dir.write("empty.xml", "")},
      {"only a declaration", dir.write("decl.xml", "<?xml version=\"1.0\"?>\n")},
      {"truncated document",
       dir.write("truncated.xml", "<publish apsuser=\"a\"><users><user name=\"u\"/><us")},
      {"unclosed element", dir.write("unclosed.xml", "<publish><users></publish>")},
      {"two document elements", dir.write("two.xml", "<publish/><publish/>")},
      {"attribute without quotes", dir.write("noquotes.xml", "<publish apsuser=x/>")},
      {"duplicate attribute", dir.write("dup.xml", "<publish apsuser='a' apsuser='b'/>")},
      {"undefined entity", dir.write("undef.xml", "<publish apsuser='&nope;'/>")},
      {"invalid UTF-8", dir.write("badutf8.xml", "<publish apsuser='\xff\xfe'/>")},
      {"binary garbage", dir.write("garbage.xml", std::string("\x00\x01\x02<publish/>", 13))},
      {"unknown encoding declared",
       dir.write("enc1.xml", "<?xml version=\"1.0\" encoding=\"x-no-such-charset\"?><publish/>")},
      {"not XML at all", dir.write("text.xml", "apsname=server\n")},
  };
  // Wine's MSXML reader reads such a file by its bytes.
  if (korva_test::xmlReaderIsExpat()) {
    cases.push_back({"UTF-16 declared in an 8-bit file",
                     dir.write("enc2.xml", "<?xml version=\"1.0\" encoding=\"UTF-16\"?><publish/>")});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(readPath(c.path), 1031);
    // Only our line: the parser's own description never shows.
    EXPECT_EQ(lines, Lines{parseFailedLine(c.path)});
  }
}

TEST_F(HandlerBadInputTest, UnreadableFileFailsTheParse) {
  const std::string path = dir.write("locked.xml", "<publish apsuser='x'/>");
  fs::permissions(path, fs::perms::none);
  if (std::ifstream(path).is_open()) GTEST_SKIP() << "running with rights that read any file";
  EXPECT_EQ(readPath(path), 1031);
  EXPECT_EQ(lines, Lines{parseFailedLine(path)});
  EXPECT_EQ(handler.apsUser.getNBytes(), 0);
}

TEST_F(HandlerBadInputTest, AFailedReadKeepsWhatWasStoredBeforeIt) {
  const std::string path = dir.write(
      "partial.xml", "<publish><users><user name='a'/><user name='b'/></users><folders><fol");
  EXPECT_EQ(readPath(path), 1031);
  EXPECT_EQ(lines, Lines{parseFailedLine(path)});
  EXPECT_EQ(handler.userMap.getCount(), 2);  // left for the next initialize to discard
  EXPECT_EQ(handler.initialize("", "", "", ""), 200);
  EXPECT_EQ(handler.userMap.getCount(), 0);
}

TEST_F(HandlerBadInputTest, ExternalEntitiesAndDocumentTypesAreNeverRead) {
  const std::string secretText = dir.write("secret.txt", kSecret);
  const std::string secretDtd =
      dir.write("secret.dtd", std::string("<!ENTITY s \"") + kSecret + "\">");
  struct Case {
    const char* what;
    std::string xml;
    int status;
    const char* apsUser;
    Lines log;  // for a status of 200
  } cases[] = {
      {"external entity in content",
       "<!DOCTYPE publish [<!ENTITY x SYSTEM \"file://" + secretText +
           "\">]><publish apsuser='u'><users desc='&#x20;'/>&x;</publish>",
       1031,
       "u",
       {}},
      {"external entity by relative name",
       "<!DOCTYPE publish [<!ENTITY x SYSTEM \"secret.txt\">]><publish><users/>&x;</publish>",
       1031,
       "runuser",
       {}},
      {"external entity in an attribute",
       "<!DOCTYPE publish [<!ENTITY x SYSTEM \"secret.txt\">]><publish apsuser='&x;'/>",
       1031,
       "",
       {}},
      {"external document type",
       "<!DOCTYPE publish SYSTEM \"" + secretDtd + "\"><publish apsuser='a&s;b'/>",
       200,
       "ab",
       {}},
      {"parameter entity",
       "<!DOCTYPE publish [<!ENTITY % p SYSTEM \"" + secretDtd +
           "\"> %p;]><publish apsuser='&s;'><users/><user name='&s;'/></publish>",
       200,
       "runuser",
       {" - --- WARN  --- (config): The element \"user\", which misses the \"name\" attribute, "
        "is skipped."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(handler.initialize("aps.example", "runuser", "runpass", "secEnterprise"), 200);
    const std::string path = dir.write("hostile.xml", c.xml);
    const int status = readPath(path);
    // Where such a document stops the MSXML reader differs from expat, but
    // it never reads the secret either.
    if (korva_test::xmlReaderIsExpat()) {
      EXPECT_EQ(status, c.status);
      EXPECT_STREQ(handler.apsUser.getBuffer(), c.apsUser);
    }
    if (status == 200) {
      EXPECT_EQ(lines, c.log);
    } else {
      EXPECT_EQ(status, 1031);
      EXPECT_EQ(lines, Lines{parseFailedLine(path)});
    }
    EXPECT_EQ(everything(handler).find(kSecret), std::string::npos);
    EXPECT_EQ(logText.find(kSecret), std::string::npos);
  }
}

TEST_F(HandlerBadInputTest, EntityBombFailsTheParse) {
  std::string xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE publish [\n<!ENTITY lol \"lol\">\n";
  xml += "<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">\n";
  for (int i = 2; i <= 9; ++i) {
    const std::string prev = "&lol" + std::to_string(i - 1) + ";";
    std::string body;
    for (int k = 0; k < 10; ++k) body += prev;
    xml += "<!ENTITY lol" + std::to_string(i) + " \"" + body + "\">\n";
  }
  xml += "]>\n<publish><users/><user name=\"u\" desc=\"&lol9;\"/>&lol9;</publish>\n";
  const std::string path = dir.write("laughs.xml", xml);
  EXPECT_EQ(readPath(path), 1031);
  EXPECT_EQ(lines, Lines{parseFailedLine(path)});
  EXPECT_EQ(handler.userMap.getCount(), 0);
}

TEST_F(HandlerBadInputTest, ValueTheEncodingCannotHoldFailsTheRead) {
  const std::string path =
      dir.write("accents.xml",
                "<publish><users><user name='plain'/><user name='caf\xc4\x81'/></users>"
                "<folders><folder name='never'/></folders></publish>");
  // Beyond Latin-1: no "C" locale holds it.
  EXPECT_EQ(readPath(path), 1031);
  EXPECT_EQ(lines,
            (Lines{" - --- ERROR --- (config): Error occurred while reading the attribute \"name\""
                   " from XML. Out of memory.",
                   parseFailedLine(path)}));
  EXPECT_EQ(handler.userMap.getCount(), 1);
  EXPECT_EQ(handler.folderMap.getCount(), 0);  // the parse stopped at the failing element

  if (!korva_test::hasUtf8CtypeLocale()) return;
  CtypeLocale utf8("C.UTF-8");
  ASSERT_TRUE(utf8.ok());
  ASSERT_EQ(handler.initialize("", "", "", ""), 200);
  EXPECT_EQ(readPath(path), 200);
  EXPECT_TRUE(lines.empty());
  CMAMetaObj* found = nullptr;
  EXPECT_TRUE(handler.userMap.lookup("caf\xc4\x81", &found));
  EXPECT_EQ(handler.folderMap.getCount(), 1);
}

TEST_F(HandlerBadInputTest, DefaultOfASectionElementWithAnUnreadableValue) {
  const std::string path =
      // U+0100: neither the C locale nor a Western code page holds it.
      dir.write("sect.xml", "<publish><reports desc='ok' icon='\xc4\x80'/></publish>");
  EXPECT_EQ(readPath(path), 1031);
  EXPECT_EQ(lines,
            (Lines{" - --- ERROR --- (config): Error occurred while reading the attribute \"icon\""
                   " from XML. Out of memory.",
                   parseFailedLine(path)}));
}

TEST_F(HandlerBadInputTest, PathsUpToTheUrlBufferAreReadLongerOnesRefused) {
  // "file:///" (8 bytes) + path + terminator must fit in 512 bytes.
  // Names of at most 200 bytes keep every component within the system's limit.
  const std::string base = dir.path().string() + "/";
  ASSERT_LT(base.size(), 100u);
  const std::string huge = base + std::string(5000, 'h');
  EXPECT_EQ(readPath(huge), 1031);
  EXPECT_EQ(lines, Lines{parseFailedLine(huge)});
  if (!korva_test::pathsMayExceed260Characters()) {
    GTEST_SKIP() << "a file path that fills the URL buffer is longer than the system allows";
  }
  const std::string sub = base + std::string(200, 'd') + "/" + std::string(100, 'e');
  fs::create_directories(sub);
  const size_t fileLen = 503 - sub.size() - 1;
  const std::string longest = sub + "/" + std::string(fileLen, 'f');
  ASSERT_EQ(longest.size(), 503u);
  std::ofstream(longest) << "<publish apsuser='long'/>";
  EXPECT_EQ(readPath(longest), 200);
  EXPECT_TRUE(lines.empty());
  EXPECT_STREQ(handler.apsUser.getBuffer(), "long");

  const std::string tooLong = longest + "x";
  std::ofstream(tooLong) << "<publish apsuser='too long'/>";
  // The file cannot be parsed: 1031, the line without a suffix.
  EXPECT_EQ(readPath(tooLong), 1031);
  EXPECT_EQ(lines, Lines{parseFailedLine(tooLong)});
  EXPECT_STREQ(handler.apsUser.getBuffer(), "long");
}

TEST_F(HandlerBadInputTest, PathThatCannotBeMadeWideIsRefused) {
  // A non-ASCII path in the "C" locale cannot become a wide URL.
  if (!korva_test::cLocaleRefusesBytesAbove127()) {
    GTEST_SKIP() << "the C runtime's \"C\" locale converts every byte";
  }
  const std::string path = dir.file("caf\xc3\xa9.xml");
  EXPECT_EQ(readPath(path), 203);
  EXPECT_EQ(lines, Lines{parseFailedLine(path) + " Out of memory."});
}

TEST_F(HandlerBadInputTest, LargeFileIsReadFully) {
  const int kEach = 20000;
  const std::string path = dir.file("large.xml");
  {
    std::ofstream out(path);
    out << "<?xml version=\"1.0\"?>\n<publish apsuser=\"big\">\n<users right=\"View\">\n";
    for (int i = 0; i < kEach; ++i) {
      out << "  <user name=\"user" << i << "\" full=\"User number " << i << "\"/>\n";
    }
    out << "</users>\n<folders>\n";
    for (int i = 0; i < kEach; ++i) out << "  <folder name=\"folder" << i << "\"/>\n";
    out << "</folders>\n<reports icon=\"rpt\">\n";
    for (int i = 0; i < kEach; ++i) {
      out << "  <report name=\"report" << i << "\" title=\"Report " << i
          << "\"><!-- text and comments are ignored --> some text </report>\n";
    }
    out << "</reports>\n</publish>\n";
  }
  EXPECT_EQ(readPath(path), 200);
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(handler.userMap.getCount(), kEach);
  EXPECT_EQ(handler.folderMap.getCount(), kEach);
  EXPECT_EQ(handler.reportMap.getCount(), kEach);
  CMAMetaObj* found = nullptr;
  ASSERT_TRUE(handler.reportMap.lookup("report19999", &found));
  EXPECT_STREQ(static_cast<CMAMetaReportObj*>(found)->title.getBuffer(), "Report 19999");
  EXPECT_STREQ(static_cast<CMAMetaReportObj*>(found)->icon.getBuffer(), "rpt");
  ASSERT_TRUE(handler.userMap.lookup("user12345", &found));
  EXPECT_STREQ(static_cast<CMAMetaUserObj*>(found)->full.getBuffer(), "User number 12345");
  EXPECT_STREQ(static_cast<CMAMetaUserObj*>(found)->right.getBuffer(), "View");

  CMAMetaObj** values = nullptr;
  int count = 0;
  ASSERT_TRUE(handler.userMap.getValues(&values, &count));
  ASSERT_EQ(count, kEach);
  bool ordered = true;
  for (int i = 1; i < count; ++i)
    ordered = ordered && values[i - 1]->getName() < values[i]->getName();
  delete[] values;
  EXPECT_TRUE(ordered);
}

}  // namespace
