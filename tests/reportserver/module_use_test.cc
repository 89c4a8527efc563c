// The module's use count (what DllCanUnloadNow reads where the server is a
// library of its own): every object the server hands out keeps the module in
// use while a client holds it, even when the client holds nothing else.
//
// Thread-safety: one test at a time on one thread; the count is process-wide.
#include "com/module_use.h"

#include <functional>
#include <string>
#include <vector>

#include "tests/reportserver/server_fixture.h"

namespace korva_rs_test {
namespace {

class ModuleUseTest : public ServerTest {};

TEST_F(ModuleUseTest, EveryObjectHandedOutKeepsTheModuleInUse) {
  {
    Connection admin = connect();
    addFolder(admin, L"F");
  }
  const std::string report = writeFile("r.rpt", "content");
  const long idle = korva::moduleUseCount();
  struct Case {
    std::string name;
    std::function<Ref<IUnknown>(Connection&)> take;
  };
  const std::vector<Case> cases = {
      {"info object",
       [](Connection& c) { return Ref<IUnknown>(itemOf(children(c, 0, "Folder"), 1)); }},
      {"user object",
       [](Connection& c) {
         Ref<korva::UserObject> user;
         EXPECT_EQ(itemOf(users(c), 1).query(&user), S_OK);
         return Ref<IUnknown>(user);
       }},
      {"desktop plugin", [](Connection& c) { return Ref<IUnknown>(c.plugins["Folder"]); }},
      {"collection", [](Connection& c) { return Ref<IUnknown>(children(c, 0, "Folder")); }},
      {"file entry",
       [&report](Connection& c) {
         Ref<korva::InfoObjects> list = children(c, 0, "Report");
         Ref<korva::ReportFiles> files;
         Ref<IUnknown> entry;
         EXPECT_EQ(newIn(c, list, "Report")->files(files.put()), S_OK);
         EXPECT_EQ(files->addFile(Variant::fromString(widen(report)), 1, Variant(), entry.put()),
                   S_OK);
         return entry;
       }},
      {"error info",
       [](Connection&) {
         Ref<korva::ErrorSource> source;
         Ref<korva::ErrorInfo> info;
         EXPECT_EQ(korva::createInstance(korva::CLSID_ErrorSource, CLSCTX_ALL, &source), S_OK);
         EXPECT_EQ(source->lastError(info.put()), S_OK);
         return Ref<IUnknown>(info);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Ref<IUnknown> held;
    {
      Connection client = connect();
      held = c.take(client);
    }
    ASSERT_TRUE(held);
    EXPECT_GT(korva::moduleUseCount(), idle);
    held.reset();
    EXPECT_EQ(korva::moduleUseCount(), idle);
  }
}

}  // namespace
}  // namespace korva_rs_test
