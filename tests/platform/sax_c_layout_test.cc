// The SAX interfaces as a C handler sees them: c_sax_handler.c reaches the
// reader and the attribute list by slot number alone and is called back
// through its own table.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/platform/c_sax_handler.h"

namespace {

TEST(SaxCLayoutTest, ACHandlerReceivesQualifiedNamesAndReadsAttributes) {
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  char pattern[] = "/tmp/korva-csax-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string path = std::string(pattern) + "/publish.xml";
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("<publish apsname=\"aps1\"><v:users xmlns:v=\"urn:v\"/></publish>", f);
  std::fclose(f);

  CSaxResult r;
  runCSaxHandler((L"file:///" + std::wstring(path.begin(), path.end())).c_str(), L"apsname", &r);
  EXPECT_EQ(r.create, S_OK);
  EXPECT_EQ(r.run, S_OK);
  EXPECT_EQ(r.reader, S_OK);
  EXPECT_EQ(r.handler, S_OK);
  EXPECT_EQ(r.parse, S_OK);
  ASSERT_EQ(r.elements, 2);
  EXPECT_EQ(std::wstring(r.names[0]), L"publish");
  EXPECT_EQ(r.lookups[0], S_OK);
  EXPECT_EQ(std::wstring(r.values[0]), L"aps1");
  EXPECT_EQ(std::wstring(r.names[1]), L"v:users");
  EXPECT_EQ(r.lookups[1], E_INVALIDARG);  // not found

  std::remove(path.c_str());
  std::remove(pattern);
  CoUninitialize();
}

}  // namespace
