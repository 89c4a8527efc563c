// The SAX interfaces as a C handler sees them: c_sax_handler.c reaches the
// reader and the attribute list by slot number alone and is called back
// through its own table.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "tests/platform/c_sax_handler.h"

namespace {

TEST(SaxCLayoutTest, ACHandlerReceivesQualifiedNamesAndReadsAttributes) {
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() /
      ("korva-csax-" + std::to_string(std::random_device()()) + ".xml");
  std::ofstream(path, std::ios::binary)
      << "<publish apsname=\"aps1\"><v:users xmlns:v=\"urn:v\"/></publish>";

  CSaxResult r;
  runCSaxHandler((L"file:///" + path.wstring()).c_str(), L"apsname", &r);
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

  std::filesystem::remove(path);
  CoUninitialize();
}

}  // namespace
