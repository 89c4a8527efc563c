// Tests of library loading: the platform's file name, loading by name through
// the ordinary search, and lookups that fail cleanly.
#include "platform/dynlib.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "platform/module.h"
#include "tests/platform/dynlib_test_util.h"

namespace {

TEST(DynlibTest, FileNameFollowsThePlatformConvention) {
  EXPECT_EQ(korva::sharedLibraryFileName("korvalink"), "libkorvalink.so");
  EXPECT_EQ(korva::sharedLibraryFileName("x"), "libx.so");
}

TEST(DynlibTest, MissingLibrariesFailToLoad) {
  dynlib_test::expectNoneLoads(
      {"libkorva-no-such-library.so", "/no/such/dir/libkorvalink.so", "", nullptr});
}

TEST(DynlibTest, LoadsBySearchAndLooksUpFunctions) {
  korva::LibraryHandle lib = korva::loadLibrary("libm.so.6");
  ASSERT_NE(lib, nullptr);
  void* cosine = korva::lookupFunction(lib, "cos");
  ASSERT_NE(cosine, nullptr);
  EXPECT_EQ(reinterpret_cast<double (*)(double)>(cosine)(0.0), 1.0);
  EXPECT_NE(korva::modulePathOf(cosine).find("libm"), std::string::npos)
      << korva::modulePathOf(cosine);
  dynlib_test::expectFailedLookupsAndFree(lib, "cos");
}

}  // namespace
