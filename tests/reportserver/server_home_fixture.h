// Fixture of the tests of the server home: the variables the home may come
// from besides KORVA_SERVER_HOME (HOME, XDG_DATA_HOME, LOCALAPPDATA) are put
// back as they were after each test.
//
// Thread-safety: tests run one at a time on one thread (the environment is
// process-wide).
// Ownership: the fixture owns its temporary home (server_fixture.h).
#ifndef KORVA_TESTS_REPORTSERVER_SERVER_HOME_FIXTURE_H_
#define KORVA_TESTS_REPORTSERVER_SERVER_HOME_FIXTURE_H_

#include <cstdlib>
#include <map>
#include <string>

#include "common/test_platform.h"
#include "tests/reportserver/server_fixture.h"

namespace korva_rs_test {

class ServerHomeTest : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    for (const char* name : {"HOME", "XDG_DATA_HOME", "LOCALAPPDATA"}) {
      const char* value = std::getenv(name);
      if (value) saved_[name] = value;
    }
  }
  void TearDown() override {
    for (const char* name : {"HOME", "XDG_DATA_HOME", "LOCALAPPDATA"}) {
      auto it = saved_.find(name);
      if (it == saved_.end()) {
        korva_test::unsetEnvironmentVariable(name);
      } else {
        korva_test::setEnvironmentVariable(name, it->second);
      }
    }
    ServerTest::TearDown();
  }

 private:
  std::map<std::string, std::string> saved_;
};

}  // namespace korva_rs_test

#endif  // KORVA_TESTS_REPORTSERVER_SERVER_HOME_FIXTURE_H_
