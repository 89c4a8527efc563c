// The console's routes on cpp-httplib.
#include "reportserver/serve/console_routes.h"

#include <httplib.h>

#include <climits>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>

#include "reportserver/serve/console_assets.h"
#include "reportserver/serve/console_cookie.h"
#include "reportserver/serve/console_download.h"
#include "reportserver/serve/console_pages.h"
#include "reportserver/serve/request_log.h"
#include "reportserver/serve/request_peer.h"
#include "reportserver/serve/serve_logon.h"
#include "reportserver/serve/serve_options.h"
#include "reportserver/serve/service_reply.h"
#include "reportserver/serve/session_table.h"

namespace korva {

namespace {

using httplib::ContentReader;
using httplib::Request;
using httplib::Response;

constexpr char kHtml[] = "text/html; charset=utf-8";
// The largest sign-in form taken.
constexpr size_t kMaxForm = 8192;
// History entries on one page.
constexpr size_t kHistoryPageSize = 50;

// Pages load only the console's own style sheet, script and icon; no page
// may be framed or cached.
void addSecurityHeaders(Response& res, bool cacheable) {
  res.set_header("Content-Security-Policy",
                 "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self';"
                 " form-action 'self'; frame-ancestors 'none'; base-uri 'none'");
  res.set_header("X-Content-Type-Options", "nosniff");
  res.set_header("X-Frame-Options", "DENY");
  res.set_header("Referrer-Policy", "no-referrer");
  res.set_header("Cache-Control", cacheable ? "no-cache" : "no-store");
}

void redirect(Response& res, const char* to) {
  res.status = 303;
  res.set_header("Location", to);
}

// What a request answered, for the log.
struct Outcome {
  std::string user;
  std::string result = "ok";
};

}  // namespace

class ConsoleRoutes::Impl {
 public:
  Impl(const ServeOptions& options, LogonThrottle& throttle, RequestLog& log)
      : options_(options),
        throttle_(throttle),
        log_(log),
        sessions_(options.sessionIdleLimit, options.maxSessions, options.clock) {}

  void add(httplib::Server& server) {
    server.Get("/console/([a-z.]+)", [this](const Request& req, Response& res) {
      serve(req, res, true, [&] { return asset(req.matches[1], res); });
    });
    server.Get("/signin", [this](const Request& req, Response& res) {
      serve(req, res, false, [&] {
        std::string user;
        if (sessions_.userOf(tokenOf(req), &user)) {
          redirect(res, "/");
        } else {
          res.set_content(signInPage(options_.apsName, "", ""), kHtml);
        }
        return Outcome{user};
      });
    });
    server.Post("/signin", [this](const Request& req, Response& res, const ContentReader& content) {
      serve(req, res, false, [&] { return signIn(form(req, content), res); });
    });
    server.Post("/signout", [this](const Request& req, Response& res, const ContentReader& content) {
      serve(req, res, false, [&] {
        form(req, content);
        Outcome outcome;
        if (auto lease = sessions_.lease(tokenOf(req))) {
          outcome.user = lease->store().facts().userName;
          lease->endSession();
        }
        res.set_header("Set-Cookie", endedConsoleCookie());
        redirect(res, "/signin");
        return outcome;
      });
    });
    page(server, "/", [this](SessionLease lease, const Request&, Response& res) {
      ConsoleView view;
      const std::string refused = read(*lease, &view, res);
      if (refused.empty()) res.set_content(treePage(view), kHtml);
      return refused;
    });
    page(server, "/users", [this](SessionLease lease, const Request&, Response& res) {
      ConsoleView view;
      const std::string refused = read(*lease, &view, res);
      if (refused.empty()) res.set_content(usersPage(view), kHtml);
      return refused;
    });
    page(server, R"(/report/(\d{1,9}))", [this](SessionLease lease, const Request& req, Response& res) {
      ConsoleView view;
      const std::string refused = read(*lease, &view, res);
      if (!refused.empty()) return refused;
      const std::string text = reportPage(view, std::atoi(req.matches[1].str().c_str()));
      if (text.empty()) return notFound(res, view.user, "There is no such report for you to see.");
      res.set_content(text, kHtml);
      return std::string();
    });
    page(server, R"(/report/(\d{1,9})/file)", [this](SessionLease lease, const Request& req, Response& res) {
      ConsoleView view;
      const std::string refused = read(*lease, &view, res);
      if (!refused.empty()) return refused;
      const int32_t id = std::atoi(req.matches[1].str().c_str());
      for (const ObjectRecord& o : view.snapshot.objects) {
        if (o.id == id && view.snapshot.isKind(o, PluginKind::Report) && o.hasFile) {
          answerReportFile(std::move(lease), o, res);
          return std::string();
        }
      }
      return notFound(res, view.user, "There is no such report file for you to download.");
    });
    page(server, "/history", [this](SessionLease lease, const Request& req, Response& res) {
      const std::string before = req.get_param_value("before");
      const bool paged = !before.empty() && before.size() <= 18 &&
                         before.find_first_not_of("0123456789") == std::string::npos;
      HistoryPage history;
      const StoreStatus status = lease->store().history(
          paged ? std::strtoll(before.c_str(), nullptr, 10) : INT64_MAX, kHistoryPageSize, &history);
      if (!status.ok()) return failed(res, status);
      res.set_content(
          historyPage(options_.apsName, lease->store().facts().userName, history, paged), kHtml);
      return std::string();
    });
  }

  void forgetIdle() { sessions_.forgetIdle(); }
  void clear() { sessions_.clear(); }

 private:
  using SessionLease = std::shared_ptr<SessionTable::Lease>;
  // Answers the page; "" or, when it refused, the result for the log.
  using PageWork = std::function<std::string(SessionLease, const Request&, Response&)>;

  static std::string tokenOf(const Request& req) {
    return consoleTokenOf(req.get_header_value("Cookie"));
  }

  // Runs the work, adds the headers and logs the request.
  void serve(const Request& req, Response& res, bool cacheable,
             const std::function<Outcome()>& work) {
    const Outcome outcome = work();
    addSecurityHeaders(res, cacheable);
    log_.request(requestPeer(req.remote_addr), outcome.user, req.method + " " + req.path,
                 outcome.result);
  }

  // A page of a session: without one, the browser goes to the sign-in form.
  void page(httplib::Server& server, const char* pattern, PageWork work) {
    server.Get(pattern, [this, work](const Request& req, Response& res) {
      serve(req, res, false, [&] {
        SessionLease lease = sessions_.lease(tokenOf(req));
        if (!lease) {
          redirect(res, "/signin");
          return Outcome{"", "303 no session"};
        }
        Outcome outcome{lease->store().facts().userName};
        const std::string refused = work(std::move(lease), req, res);
        if (!refused.empty()) outcome.result = refused;
        return outcome;
      });
    });
  }

  // The form's fields; a form past kMaxForm is read to its end and taken as
  // empty.
  static httplib::Params form(const Request& req, const ContentReader& content) {
    std::string body;
    bool over = false;
    if (req.has_header("Content-Length") || req.has_header("Transfer-Encoding")) {
      content([&](const char* data, size_t size) {
        over = over || body.size() + size > kMaxForm;
        if (!over) body.append(data, size);
        return true;
      });
    }
    httplib::Params fields;
    if (!over) httplib::detail::parse_query_text(body, fields);
    return fields;
  }

  static std::string field(const httplib::Params& fields, const char* name) {
    auto it = fields.find(name);
    return it == fields.end() ? std::string() : it->second;
  }

  Outcome signIn(const httplib::Params& fields, Response& res) {
    LogonRequest request;
    request.user = field(fields, "user");
    request.password = field(fields, "password");
    request.authentication = "secEnterprise";  // the console signs in with the server's own accounts
    StoreSessionPtr session;
    StoreStatus status = logOnServed(request, options_, throttle_, &session);
    std::string token;
    if (status.ok()) {
      token = sessions_.add(std::move(session));
      if (token.empty()) status = tooManySessions(options_.maxSessions);
    }
    if (!status.ok()) {
      res.set_content(signInPage(options_.apsName, request.user, status.description), kHtml);
      return Outcome{request.user, ServiceReply::failure(200, status).result};
    }
    res.set_header("Set-Cookie", consoleCookie(token));
    redirect(res, "/");
    return Outcome{request.user};
  }

  Outcome asset(const std::string& name, Response& res) {
    const ConsoleAsset* a = consoleAsset(name);
    if (!a) {
      res.status = 404;
      res.set_content("No such file.", "text/plain; charset=utf-8");
      return Outcome{"", "404 no such file"};
    }
    res.set_content(reinterpret_cast<const char*>(a->data), a->size, a->contentType);
    return Outcome{};
  }

  // Reads what the user may see; "" or, when it cannot be read, the result
  // for the log (and the answer says why).
  std::string read(SessionTable::Lease& lease, ConsoleView* view, Response& res) {
    StoreSession& store = lease.store();
    view->user = store.facts().userName;
    StoreStatus status = store.snapshot(&view->snapshot);
    if (status.ok()) status = store.lastChanges(&view->lastChanges);
    view->snapshot.aps = options_.apsName;
    return status.ok() ? std::string() : failed(res, status);
  }

  std::string notFound(Response& res, const std::string& user, const std::string& what) {
    res.status = 404;
    res.set_content(messagePage(options_.apsName, user, "Not found", what), kHtml);
    return "404 not found: " + what;
  }

  std::string failed(Response& res, const StoreStatus& status) {
    res.status = 500;
    res.set_content(messagePage(options_.apsName, "", "Not read", status.description), kHtml);
    return ServiceReply::failure(500, status).result;
  }

  const ServeOptions& options_;
  LogonThrottle& throttle_;
  RequestLog& log_;
  SessionTable sessions_;
};

ConsoleRoutes::ConsoleRoutes(const ServeOptions& options, LogonThrottle& throttle, RequestLog& log)
    : impl_(new Impl(options, throttle, log)) {}

ConsoleRoutes::~ConsoleRoutes() = default;

void ConsoleRoutes::addTo(httplib::Server& server) { impl_->add(server); }
void ConsoleRoutes::forgetIdle() { impl_->forgetIdle(); }
void ConsoleRoutes::clear() { impl_->clear(); }

}  // namespace korva
