// Tests of library loading: the platform's file name, loading by name through
// the ordinary search, and lookups that fail cleanly.
#include "platform/dynlib.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "platform/module.h"

namespace {

TEST(DynlibTest, FileNameFollowsThePlatformConvention) {
  EXPECT_EQ(korva::sharedLibraryFileName("korvalink"), "libkorvalink.so");
  EXPECT_EQ(korva::sharedLibraryFileName("x"), "libx.so");
}

TEST(DynlibTest, MissingLibrariesFailToLoad) {
  EXPECT_EQ(korva::loadLibrary("libkorva-no-such-library.so"), nullptr);
  EXPECT_EQ(korva::loadLibrary("/no/such/dir/libkorvalink.so"), nullptr);
  // Neither may be taken to mean the program itself.
  EXPECT_EQ(korva::loadLibrary(""), nullptr);
  EXPECT_EQ(korva::loadLibrary(nullptr), nullptr);
}

TEST(DynlibTest, LoadsBySearchAndLooksUpFunctions) {
  korva::LibraryHandle lib = korva::loadLibrary("libm.so.6");
  ASSERT_NE(lib, nullptr);
  void* cosine = korva::lookupFunction(lib, "cos");
  ASSERT_NE(cosine, nullptr);
  EXPECT_EQ(reinterpret_cast<double (*)(double)>(cosine)(0.0), 1.0);
  EXPECT_NE(korva::modulePathOf(cosine).find("libm"), std::string::npos)
      << korva::modulePathOf(cosine);

  EXPECT_EQ(korva::lookupFunction(lib, "korva_no_such_function"), nullptr);
  EXPECT_EQ(korva::lookupFunction(lib, nullptr), nullptr);
  // A null library is not "search everything".
  EXPECT_EQ(korva::lookupFunction(nullptr, "cos"), nullptr);
  korva::freeLibrary(lib);
  korva::freeLibrary(nullptr);
}

}  // namespace
