// The routes of the network server on cpp-httplib.
#include "reportserver/serve/https_routes.h"

#include <httplib.h>

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "reportserver/serve/report_service.h"
#include "reportserver/serve/request_log.h"
#include "reportserver/serve/request_peer.h"
#include "reportserver/serve/serve_options.h"
#include "reportserver/testing/fault_injection.h"
#include "reportserver/wire/wire_messages.h"
#include "reportserver/wire/wire_protocol.h"

namespace korva {

namespace {

using httplib::ContentReader;
using httplib::Request;
using httplib::Response;

// A request the fault plan holds (fault_plan.h) is never answered: its
// thread waits until the process is killed.
[[noreturn]] void holdUntilKilled() {
  std::mutex mutex;
  std::condition_variable never;
  std::unique_lock<std::mutex> lock(mutex);
  for (;;) never.wait(lock);
}

}  // namespace

class HttpsRoutes::Impl {
 public:
  Impl(ReportService& service, RequestLog& log, const ServeOptions& options)
      : service_(service),
        log_(log),
        maxRequest_(options.maxRequestBytes),
        maxBody_(std::max<uint64_t>(options.maxRequestBytes, options.maxUploadBytes)) {}

  void add(httplib::Server& server) {
    jsonRoute(server, wire::kLogonPath, "logon",
              [this](const Request&, const std::string& body) { return service_.logon(body); });
    using SessionOperation =
        ServiceReply (ReportService::*)(const std::string& token, const std::string& request);
    const struct {
      const char* path;
      const char* operation;
      SessionOperation run;
    } sessionOperations[] = {
        {wire::kQueryPath, "query", &ReportService::query},
        {wire::kSnapshotPath, "snapshot", &ReportService::snapshot},
        {wire::kDownloadPath, "download", &ReportService::download},
    };
    for (const auto& o : sessionOperations) {
      sessionRoute(server, o.path, o.operation,
                   [this, run = o.run](const Request&, const std::string& token,
                                       const std::string& request) {
                     return (service_.*run)(token, request);
                   });
    }
    // A commit's JSON may be followed by files: its sent parameter counts them.
    sessionRoute(server, wire::kCommitPath, "commit",
                 [this](const Request& req, const std::string& token, const std::string& request) {
                   return service_.commit(token, request,
                                          req.get_param_value(wire::kSentParameter));
                 });
    sessionRoute(server, wire::kLogoffPath, "logoff",
                 [this](const Request&, const std::string& token, const std::string&) {
                   return service_.logoff(token);
                 });
    server.Put(wire::kFilesPath,
               [this](const Request& req, Response& res, const ContentReader& content) {
                 serve(req, res, "upload", [&] {
                   return service_.upload(req.get_param_value(wire::kFileNameParameter),
                                          bodyReader(req, res, content));
                 });
               });

    // Any other request with a body: read and refused (the HTTP layer would
    // otherwise hold such a body whole before refusing it).
    const httplib::Server::HandlerWithContentReader noSuchOperation =
        [this](const Request& req, Response& res, const ContentReader& content) {
          serve(req, res, operationOf(req), [&] {
            bodyReader(req, res, content)([](const char*, size_t) { return true; });
            return unknownOperation(req);
          });
        };
    server.Post(".*", noSuchOperation);
    server.Put(".*", noSuchOperation);
    server.Patch(".*", noSuchOperation);
    server.Delete(".*", noSuchOperation);

    server.set_error_handler(
        httplib::Server::HandlerWithResponse([this](const Request& req, Response& res) {
          if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;  // ours
          const ServiceReply reply =
              res.status == 404 ? unknownOperation(req) : refusedByHttp(res.status);
          send(res, reply);
          log_.request(peerOf(req), reply.user, operationOf(req), reply.result);
          return httplib::Server::HandlerResponse::Handled;
        }));
    server.set_exception_handler([this](const Request& req, Response& res, std::exception_ptr) {
      const ServiceReply reply = internalFailure("an unexpected error");
      send(res, reply);
      log_.request(peerOf(req), reply.user, operationOf(req), reply.result);
    });
  }

 private:
  using JsonOperation = std::function<ServiceReply(const Request&, const std::string&)>;

  static std::string operationOf(const Request& req) { return req.method + " " + req.path; }

  static std::string peerOf(const Request& req) { return requestPeer(req.remote_addr); }

  static void send(Response& res, const ServiceReply& reply) {
    res.status = reply.status;
    res.set_content(reply.body, wire::kJsonContentType);
  }

  static ServiceReply unknownOperation(const Request& req) {
    return ServiceReply::failure(
        404,
        StoreStatus::badRequest("The report server has no operation " + operationOf(req) + "."));
  }

  static ServiceReply refusedByHttp(int status) {
    if (status >= 500) return internalFailure("status " + std::to_string(status));
    return ServiceReply::failure(
        status, StoreStatus::badRequest("The request is not one the report server takes (status " +
                                        std::to_string(status) + ")."));
  }

  static ServiceReply internalFailure(const std::string& what) {
    return ServiceReply::failure(500,
                                 StoreStatus::failed("The report server failed: " + what + "."));
  }

  // The body as the service reads it: to its end, through the sink. A
  // request that announces no length and is not chunked has none (the HTTP
  // layer would read on until the connection ends).
  static BodyReader bodyReader(const Request& req, const Response& res,
                               const ContentReader& content) {
    return [&req, &res, &content](const BodySink& sink) {
      if (!req.has_header("Content-Length") && !req.has_header("Transfer-Encoding")) {
        return BodyEnd::Complete;
      }
      bool sinkStopped = false;
      const bool read = content([&](const char* data, size_t size) {
        sinkStopped = !sink(data, size);
        return !sinkStopped;
      });
      if (read) return BodyEnd::Complete;
      // The HTTP layer refuses a body announced larger than it takes with 413.
      return !sinkStopped && res.status == 413 ? BodyEnd::TooLarge : BodyEnd::BrokeOff;
    };
  }

  // Runs the work and answers; nothing it throws escapes.
  void serve(const Request& req, Response& res, const std::string& operation,
             const std::function<ServiceReply()>& work) {
    ServiceReply reply;
    try {
      reply = work();
    } catch (const std::exception& e) {
      reply = internalFailure(e.what());
    } catch (...) {
      reply = internalFailure("an unexpected error");
    }
    if (reply.streamed) {
      stream(req, res, operation, reply);
      return;
    }
    send(res, reply);
    log_.request(peerOf(req), reply.user, operation, reply.result);
  }

  // Answers with the reply's streamed body, written chunk by chunk after the
  // handler returned; the request's line is logged once the answer went out
  // or broke off. The HTTP layer lets the body go (and what it holds) when
  // it is done with the answer, whether or not the peer took all of it.
  void stream(const Request& req, Response& res, const std::string& operation,
              const ServiceReply& reply) {
    const std::shared_ptr<StreamedBody> body = reply.streamed;
    res.status = reply.status;
    res.set_chunked_content_provider(
        wire::kFileContentType,
        [body](size_t, httplib::DataSink& sink) {
          bool whole = false;
          try {
            whole = body->send(
                [&sink](const char* data, size_t size) { return sink.write(data, size); });
          } catch (...) {
            // Nothing escapes into the HTTP layer: the answer breaks off.
          }
          if (whole) sink.done();
          return whole;
        },
        [this, body, peer = peerOf(req), user = reply.user, operation](bool sent) {
          log_.request(peer, user, operation, body->result(sent));
        });
  }

  void jsonRoute(httplib::Server& server, const char* path, const char* operation,
                 JsonOperation run) {
    server.Post(path, [this, operation, run](const Request& req, Response& res,
                                             const ContentReader& content) {
      serve(req, res, operation, [&] {
        // A body past the limit is read on (and dropped) up to the largest
        // upload, so that the answer reaches the client.
        std::string body;
        bool over = false;
        uint64_t total = 0;
        const BodyEnd end = bodyReader(req, res, content)([&](const char* data, size_t size) {
          total += size;
          if (total > maxBody_) return false;
          over = over || total > maxRequest_;
          if (over) {
            body.clear();
          } else {
            body.append(data, size);
          }
          return true;
        });
        if (end == BodyEnd::TooLarge || over)
          return ReportService::tooLarge("request", maxRequest_);
        if (end != BodyEnd::Complete) {
          return ServiceReply::failure(
              400, StoreStatus::badRequest("The request broke off before its end."));
        }
        if (injectFault(std::string("serve:") + operation)) {
          log_.note(std::string("Holding the ") + operation + " request (injected fault).");
          holdUntilKilled();
        }
        return run(req, body);
      });
    });
  }

  // A JSON operation of a session: its body opens with the session's line.
  void sessionRoute(
      httplib::Server& server, const char* path, const char* operation,
      std::function<ServiceReply(const Request&, const std::string&, const std::string&)> run) {
    jsonRoute(server, path, operation, [run](const Request& req, const std::string& body) {
      std::string token, request;
      wire::splitSessionLine(body, &token, &request);
      return run(req, token, request);
    });
  }

  ReportService& service_;
  RequestLog& log_;
  const uint64_t maxRequest_;
  const uint64_t maxBody_;
};

HttpsRoutes::HttpsRoutes(ReportService& service, RequestLog& log, const ServeOptions& options)
    : impl_(new Impl(service, log, options)) {}

HttpsRoutes::~HttpsRoutes() = default;

void HttpsRoutes::addTo(httplib::Server& server) { impl_->add(server); }

}  // namespace korva
