// The web console over HTTPS, in-process: no page without a session, the
// sign-in checked and slowed down as a logon is, the session cookie and its
// ends, the security headers, and the pages' escaping of every name.
#include <regex>
#include <string>
#include <vector>

#include "reportserver/serve/console_cookie.h"
#include "reportserver/serve/console_download.h"
#include "reportserver/serve/console_pages.h"
#include "tests/netserver/net_server_fixture.h"

namespace korva_net_test {
namespace {

class ConsoleTest : public NetServerTest {
 protected:
  httplib::Result get(const std::string& path, const std::string& cookie = "") {
    httplib::Headers headers;
    if (!cookie.empty()) headers.emplace("Cookie", cookie);
    return client()->Get(path.c_str(), headers);
  }
  httplib::Result post(const std::string& path, const std::string& form,
                       const std::string& cookie = "") {
    httplib::Headers headers;
    if (!cookie.empty()) headers.emplace("Cookie", cookie);
    return client()->Post(path.c_str(), headers, form, "application/x-www-form-urlencoded");
  }
  // Signs in; the Cookie header that carries the session ("" when refused).
  std::string signIn(const std::string& user, const std::string& password) {
    httplib::Result r = post("/signin", "user=" + user + "&password=" + password);
    if (!r || r->status != 303) return std::string();
    const std::string set = r->get_header_value("Set-Cookie");
    return set.substr(0, set.find(';'));
  }
};

TEST_F(ConsoleTest, NoPageWithoutASession) {
  for (const char* path : {"/", "/users", "/history", "/report/1", "/report/1/file"}) {
    SCOPED_TRACE(path);
    for (const std::string& cookie : {std::string(), "korva_console=" + std::string(64, 'a')}) {
      httplib::Result r = get(path, cookie);
      ASSERT_TRUE(r);
      EXPECT_EQ(r->status, 303);
      EXPECT_EQ(r->get_header_value("Location"), "/signin");
      EXPECT_EQ(r->get_header_value("Cache-Control"), "no-store");
    }
  }
  httplib::Result css = get("/console/console.css");
  ASSERT_TRUE(css);
  EXPECT_EQ(css->status, 200);
  EXPECT_EQ(css->get_header_value("Content-Type"), "text/css; charset=utf-8");
  EXPECT_EQ(get("/console/nothing.js")->status, 404);
  const std::vector<std::string> lines = logLines();
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[0], "127.0.0.1 - GET / 303 no session");
  EXPECT_EQ(lines[10], "127.0.0.1 - GET /console/console.css ok");
}

TEST_F(ConsoleTest, SignInIsALogonWithItsRefusalsAndSlowingDown) {
  for (int i = 0; i < 4; ++i) {
    httplib::Result r = post("/signin", "user=Administrator&password=wrong");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
    EXPECT_NE(r->body.find("<p class=\"refusal\" role=\"alert\" id=\"refusal\">Logon refused: the "
                           "password of user &quot;Administrator&quot; is wrong.</p>"),
              std::string::npos)
        << r->body;
  }
  logon("Administrator", "wrong");  // the protocol's logon counts with the console's
  EXPECT_EQ(pauses(), (std::vector<long long>{1000, 2000}));

  httplib::Result r = post("/signin", "user=Administrator&password=secret");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 303);
  EXPECT_EQ(r->get_header_value("Location"), "/");
  const std::string set = r->get_header_value("Set-Cookie");
  EXPECT_TRUE(std::regex_match(
      set, std::regex("korva_console=[0-9a-f]{64}; Path=/; Secure; HttpOnly; SameSite=Strict")))
      << set;
  const std::vector<std::string> lines = logLines();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0],
            "127.0.0.1 \"Administrator\" POST /signin 200 denied: Logon refused: the password of "
            "user \"Administrator\" is wrong.");
  EXPECT_EQ(lines[5], "127.0.0.1 \"Administrator\" POST /signin ok");
}

TEST_F(ConsoleTest, TheSessionEndsOnSignOutAndWhenUnused) {
  const std::string cookie = signIn("Administrator", "secret");
  ASSERT_FALSE(cookie.empty());
  httplib::Result page = get("/", cookie);
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->get_header_value("Content-Security-Policy"),
            "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
            "form-action 'self'; frame-ancestors 'none'; base-uri 'none'");
  EXPECT_EQ(page->get_header_value("Cache-Control"), "no-store");
  EXPECT_EQ(page->body.find("<script>"), std::string::npos);
  EXPECT_NE(page->body.find("Signed in as <b>Administrator</b>"), std::string::npos);

  httplib::Result out = post("/signout", "", cookie);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->status, 303);
  EXPECT_EQ(out->get_header_value("Set-Cookie"),
            "korva_console=; Max-Age=0; Path=/; Secure; HttpOnly; SameSite=Strict");
  EXPECT_EQ(get("/", cookie)->status, 303);

  const std::string unused = signIn("Administrator", "secret");
  advanceClock(std::chrono::minutes(29));
  EXPECT_EQ(get("/users", unused)->status, 200);
  advanceClock(std::chrono::minutes(31));
  EXPECT_EQ(get("/users", unused)->status, 303);
}

TEST(ConsolePages, EveryNameIsEscaped) {
  korva::ConsoleView view;
  view.user = "<u>";
  view.snapshot.plugins = {{1, 1, "Folder", korva::PluginKind::Folder},
                           {2, 2, "Report", korva::PluginKind::Report}};
  korva::ObjectRecord folder, report;
  folder.id = 10;
  folder.typeId = 1;
  folder.title = "<script>alert('F')</script>";
  folder.description = "a & \"b\"";
  report.id = 11;
  report.typeId = 2;
  report.parentId = 10;
  report.title = "<img src=x>";
  report.hasFile = true;
  report.fileName = "<f>.rpt";
  report.fileSize = 1234;
  korva::ObjectRecord beyond = report;  // in a folder the user may not see
  beyond.id = 12;
  beyond.parentId = 99;
  beyond.title = "Beyond";
  view.snapshot.objects = {folder, report, beyond};
  const std::string tree = korva::treePage(view), page = korva::reportPage(view, 11);
  for (const std::string& text : {tree, page}) {
    EXPECT_EQ(text.find("<script>alert"), std::string::npos);
    EXPECT_EQ(text.find("<img"), std::string::npos);
    EXPECT_EQ(text.find("<f>"), std::string::npos);
    EXPECT_EQ(text.find("<u>"), std::string::npos);
  }
  EXPECT_NE(tree.find("&lt;script&gt;alert(&#39;F&#39;)&lt;/script&gt;"), std::string::npos);
  EXPECT_NE(tree.find("a &amp; &quot;b&quot;"), std::string::npos);
  EXPECT_NE(tree.find("<span class=\"size\">1,234 bytes</span>"), std::string::npos);
  EXPECT_NE(page.find("/report/11/file"), std::string::npos);
  EXPECT_NE(tree.find("<li class=\"report\"><a class=\"name\" href=\"/report/12\">Beyond</a>"),
            std::string::npos);
  EXPECT_EQ(korva::reportPage(view, 10), "");
  EXPECT_EQ(korva::attachmentDisposition("Q1 \"Zusammenfassung\" ä.rpt"),
            "attachment; filename=\"Q1 _Zusammenfassung_ __.rpt\"; "
            "filename*=UTF-8''Q1%20%22Zusammenfassung%22%20%C3%A4.rpt");
  EXPECT_EQ(korva::consoleTokenOf("a=b; korva_console=" + std::string(64, 'f') + "; c=d"),
            std::string(64, 'f'));
  EXPECT_EQ(korva::consoleTokenOf("korva_console=<x>"), "");
}

}  // namespace
}  // namespace korva_net_test
