// The network server on cpp-httplib's TLS server.
#include "reportserver/serve/network_server.h"

#include <httplib.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/filesys.h"
#include "platform/listen_socket.h"
#include "reportserver/serve/console_routes.h"
#include "reportserver/serve/https_routes.h"
#include "reportserver/serve/logon_throttle.h"
#include "reportserver/serve/report_service.h"
#include "reportserver/serve/request_log.h"
#include "reportserver/serve/session_table.h"
#include "reportserver/serve/upload_spool.h"

namespace korva {

namespace {

// How often sessions past the idle limit are looked for.
constexpr std::chrono::minutes kIdleSweep{1};
// A request may pause this long between two reads or writes.
constexpr time_t kIoTimeoutSeconds = 30;
// Requests one connection may carry.
constexpr size_t kRequestsPerConnection = 1000;

// Called by TLS for every record it reads: the record is acknowledged at
// once, so that a client that sends a request's head and body in two writes
// does not wait for the delayed acknowledgement of the head (40 ms per
// request under wine's WinHTTP) before its body leaves.
void acknowledgeEachRecord(int written, int, int contentType, const void*, size_t, SSL* ssl,
                           void*) {
  if (written || contentType != SSL3_RT_HEADER) return;
  const int socket = SSL_get_fd(ssl);
  if (socket >= 0) acknowledgeAtOnce(socket);
}

}  // namespace

class NetworkServer::Impl {
 public:
  Impl(ServeOptions options, std::FILE* log)
      : options_(withPause(std::move(options))),
        log_(log),
        sessions_(options_.sessionIdleLimit, options_.maxSessions, options_.clock),
        throttle_(options_.clock),
        service_(options_, sessions_, spool_, throttle_),
        routes_(service_, log_, options_),
        console_(options_, throttle_, log_) {}

  ~Impl() { stop(); }

  bool start(const std::string& host, int port, const std::string& certPath,
             const std::string& keyPath, std::string* error) {
    if (!spool_.open(options_.spoolDir, error)) return false;
    server_.reset(new httplib::SSLServer(certPath.c_str(), keyPath.c_str()));
    if (!server_->is_valid()) {
      *error = "Cannot serve with the certificate " + certPath + " and the key " + keyPath + ".";
      return false;
    }
    server_->new_task_queue = [this] {
      markState(State::Running);
      return new httplib::ThreadPool(options_.threads);
    };
    server_->set_socket_options([](socket_t s) { setListeningSocketOptions(s); });
    SSL_CTX_set_msg_callback(server_->ssl_context(), &acknowledgeEachRecord);
    server_->set_tcp_nodelay(true);
    server_->set_keep_alive_max_count(kRequestsPerConnection);
    server_->set_read_timeout(kIoTimeoutSeconds, 0);
    server_->set_write_timeout(kIoTimeoutSeconds, 0);
    server_->set_payload_max_length(
        std::max<uint64_t>(options_.maxRequestBytes, options_.maxUploadBytes));
    console_.addTo(*server_);
    routes_.addTo(*server_);

    errno = 0;
    if (port == 0) {
      port_ = server_->bind_to_any_port(host);
    } else {
      port_ = server_->bind_to_port(host, port) ? port : -1;
    }
    if (port_ < 0) {
      const int cause = errno;
      *error = "Cannot listen on " + host + " port " + std::to_string(port) +
               (cause ? ": " + errorText(cause) : std::string()) + ".";
      return false;
    }
    listener_ = std::thread([this] {
      server_->listen_after_bind();
      markState(State::Ended);
    });
    sweeper_ = std::thread([this] { sweepIdleSessions(); });
    // Until the server loop runs, stop() could not reach it.
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return state_ != State::Starting; });
    return true;
  }

  int port() const { return port_; }
  void note(const std::string& text) { log_.note(text); }

  void stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    if (server_) server_->stop();
    if (listener_.joinable()) listener_.join();
    if (sweeper_.joinable()) sweeper_.join();
    sessions_.clear();
    console_.clear();
  }

 private:
  enum class State { Starting, Running, Ended };

  // The options, with a pause that ends when the server stops.
  ServeOptions withPause(ServeOptions options) {
    if (!options.pause) {
      options.pause = [this](std::chrono::milliseconds delay) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, delay, [this] { return stopping_; });
      };
    }
    return options;
  }

  void markState(State state) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      state_ = state;
    }
    changed_.notify_all();
  }

  void sweepIdleSessions() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!changed_.wait_for(lock, kIdleSweep, [this] { return stopping_; })) {
      lock.unlock();
      sessions_.forgetIdle();
      console_.forgetIdle();
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  bool stopping_ = false;          // under mutex_
  State state_ = State::Starting;  // under mutex_

  const ServeOptions options_;
  RequestLog log_;
  UploadSpool spool_;
  SessionTable sessions_;
  LogonThrottle throttle_;
  ReportService service_;
  HttpsRoutes routes_;
  ConsoleRoutes console_;
  std::unique_ptr<httplib::SSLServer> server_;
  int port_ = -1;
  std::thread listener_;
  std::thread sweeper_;
};

NetworkServer::NetworkServer(ServeOptions options, std::FILE* log)
    : impl_(new Impl(std::move(options), log)) {}

NetworkServer::~NetworkServer() = default;

bool NetworkServer::start(const std::string& host, int port, const std::string& certPath,
                          const std::string& keyPath, std::string* error) {
  return impl_->start(host, port, certPath, keyPath, error);
}

int NetworkServer::port() const { return impl_->port(); }
void NetworkServer::note(const std::string& text) { impl_->note(text); }
void NetworkServer::stop() { impl_->stop(); }

}  // namespace korva
