// Library loading on Windows: the platform's file name, loading a system
// library by its bare name, and lookups that fail cleanly. That a library in
// the current directory is not loaded is checked by the programs' tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "platform/dynlib.h"
#include "platform/module.h"
#include "tests/platform/dynlib_test_util.h"

namespace {

TEST(DynlibWin32Test, FileNameFollowsThePlatformConvention) {
  EXPECT_EQ(korva::sharedLibraryFileName("korvalink"), "korvalink.dll");
}

TEST(DynlibWin32Test, MissingLibrariesFailToLoad) {
  dynlib_test::expectNoneLoads(
      {"korva-no-such-library.dll", "C:\\no\\such\\dir\\korvalink.dll", "", nullptr});
}

TEST(DynlibWin32Test, LoadsASystemLibraryByNameAndLooksUpFunctions) {
  korva::LibraryHandle lib = korva::loadLibrary("kernel32.dll");
  ASSERT_NE(lib, nullptr);
  void* tick = korva::lookupFunction(lib, "GetTickCount");
  ASSERT_NE(tick, nullptr);
  std::string path = korva::modulePathOf(tick);
  std::transform(path.begin(), path.end(), path.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  EXPECT_NE(path.find("kernel32.dll"), std::string::npos) << path;
  dynlib_test::expectFailedLookupsAndFree(lib, "GetTickCount");
}

}  // namespace
