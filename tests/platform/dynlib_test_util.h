// Checks of library loading that hold on every platform, given the
// platform's own names: names that must not load, and the lookups that must
// fail on a library that did.
//
// Thread-safety: one test at a time. Ownership: expectFailedLookupsAndFree
// frees the library it is given.
#ifndef KORVA_TESTS_PLATFORM_DYNLIB_TEST_UTIL_H_
#define KORVA_TESTS_PLATFORM_DYNLIB_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <initializer_list>

#include "platform/dynlib.h"

namespace dynlib_test {

// None of the names loads. An empty or null name may not be taken to mean
// the program itself.
inline void expectNoneLoads(std::initializer_list<const char*> fileNames) {
  for (const char* fileName : fileNames) {
    EXPECT_EQ(korva::loadLibrary(fileName), nullptr) << (fileName ? fileName : "(null)");
  }
}

// An unknown or null function name finds nothing in lib, and a null library
// is not "search everything" for knownFunction, which lib exports; then lib
// is freed, and freeing a null library is harmless.
inline void expectFailedLookupsAndFree(korva::LibraryHandle lib, const char* knownFunction) {
  EXPECT_EQ(korva::lookupFunction(lib, "korva_no_such_function"), nullptr);
  EXPECT_EQ(korva::lookupFunction(lib, nullptr), nullptr);
  EXPECT_EQ(korva::lookupFunction(nullptr, knownFunction), nullptr);
  korva::freeLibrary(lib);
  korva::freeLibrary(nullptr);
}

}  // namespace dynlib_test

#endif  // KORVA_TESTS_PLATFORM_DYNLIB_TEST_UTIL_H_
