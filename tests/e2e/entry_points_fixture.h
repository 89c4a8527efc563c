// The fixture of the tests that call the engine library as a host does: a
// copy of the library (libkorvalink.so, korvalink.dll) loaded by path from a
// directory of its own, so that "beside the library" is a directory the test
// controls, with the server home and the temporary directory in the work
// directory; and the scoped changes of the environment and the locale.
//
// Thread-safety: one test at a time (the environment and the locale are
// process-wide). Ownership: the fixture owns its work directory; the loaded
// copy stays loaded.
#ifndef KORVA_TESTS_E2E_ENTRY_POINTS_FIXTURE_H_
#define KORVA_TESTS_E2E_ENTRY_POINTS_FIXTURE_H_

#include <clocale>
#include <cstdlib>
#include <string>

#include "e2e/e2e_fixture.h"
#include "korvalink.h"
#include "platform/dynlib.h"

namespace e2e {

// The entry points' types, in their calling convention (__stdcall on Windows).
using PublishA = doPublishAProc;
using PublishW = doPublishWProc;
using TestFcnType = TestFcnProc;

// Sets an environment variable for the test's lifetime, then restores it.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    korva_test::setEnvironmentVariable(name, value);
  }
  ~ScopedEnv() {
    if (had_) {
      korva_test::setEnvironmentVariable(name_, old_);
    } else {
      korva_test::unsetEnvironmentVariable(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

// The character type of the process's locale for the test's lifetime.
class ScopedCType {
 public:
  explicit ScopedCType(const char* locale) : old_(std::setlocale(LC_CTYPE, nullptr)) {
    EXPECT_NE(std::setlocale(LC_CTYPE, locale), nullptr) << locale;
  }
  ~ScopedCType() { std::setlocale(LC_CTYPE, old_.c_str()); }

 private:
  std::string old_;
};

class EntryPointsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(lib());
    fs::create_directories(tmp());
    const fs::path copy = lib() / libraryName();
    fs::copy_file(libraryPath(), copy);
    // Never freed: the library keeps process-wide objects (the framework,
    // the class registry) that other copies must not be confused with.
    handle_ = korva::loadLibrary(copy.string().c_str());
    ASSERT_NE(handle_, nullptr) << copy << " could not be loaded";
  }

  template <typename F>
  F function(const char* name) {
    return reinterpret_cast<F>(korva::lookupFunction(handle_, name));
  }

  static std::string libraryName() { return korva::sharedLibraryFileName("korvalink"); }
  // The library as the build made it.
  static std::string libraryPath() { return std::string(KORVA_BIN_DIR) + "/" + libraryName(); }
  fs::path lib() const { return work_.path() / "lib"; }
  fs::path tmp() const { return work_.path() / "tmp"; }

  TempDir work_;
  korva::LibraryHandle handle_ = nullptr;
  ScopedEnv homeEnv_{"KORVA_SERVER_HOME", (work_.path() / "servers").string()};
  ScopedEnv tmpEnv_{korva_test::temporaryDirectoryVariable(), tmp().string()};
  ServerHome server_{work_.path() / "servers"};
};

}  // namespace e2e

#endif  // KORVA_TESTS_E2E_ENTRY_POINTS_FIXTURE_H_
