// The HTTPS client on POSIX: cpp-httplib's SSLClient over OpenSSL, one kept
// connection per client. OpenSSL itself checks the host (the verify
// parameters name the host or IP address), so a certificate for another
// host fails like one from an unknown root; cpp-httplib closes the
// connection before it sends anything when that check failed.
//
// cpp-httplib says only that a connection failed, not why: the cause is then
// found by trying once more by hand (resolve, connect with the connect
// timeout). A read that failed after the read timeout's silence timed out;
// one that failed sooner was broken off.
//
// SIGPIPE: OpenSSL writes to the socket without MSG_NOSIGNAL, and a library
// must not change the process's signal handling; the signal is blocked in
// the sending thread during a request and a SIGPIPE raised meanwhile is
// taken away before the mask is restored.
//
// Thread-safety: a client is used by one thread at a time.
// Ownership: a client owns its SSLClient (the OpenSSL context and the
// connection).
#include <arpa/inet.h>
#include <fcntl.h>
#include <httplib.h>
#include <netdb.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/https_client.h"

namespace korva {
namespace {

// The first fault OpenSSL found in the server's certificate during this
// thread's last handshake (0: none); the handshake runs on the sending
// thread.
thread_local int verifyFailure = 0;

int noteVerifyFailure(int ok, X509_STORE_CTX* store) {
  if (!ok && verifyFailure == 0) verifyFailure = X509_STORE_CTX_get_error(store);
  return ok;
}

using Clock = std::chrono::steady_clock;

// Blocks SIGPIPE in this thread for the object's lifetime and discards one
// raised meanwhile (unless one was pending already).
class SigpipeBlock {
 public:
  SigpipeBlock() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    pendingBefore_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
  }
  ~SigpipeBlock() {
    sigset_t pending;
    if (!pendingBefore_ && sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1) {
      const timespec now = {0, 0};
      sigtimedwait(&pipe_, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  SigpipeBlock(const SigpipeBlock&) = delete;
  SigpipeBlock& operator=(const SigpipeBlock&) = delete;

 private:
  sigset_t pipe_;
  sigset_t previous_;
  bool pendingBefore_ = false;
};

const char* causeOfErrno(int error) {
  switch (error) {
    case ECONNREFUSED:
      return kCauseConnectionRefused;
    case ETIMEDOUT:
      return kCauseTimedOut;
    case ENETUNREACH:
      return kCauseNetworkUnreachable;
    case EHOSTUNREACH:
      return kCauseHostUnreachable;
    case ECONNRESET:
      return kCauseConnectionReset;
    default:
      return kCauseConnectionFailed;
  }
}

// Why a connection to the endpoint cannot be made: resolves the host and
// connects to each of its addresses in turn, as the client did; the cause
// of the last failure (a connection that works now: "connection failed").
std::string connectFailureCause(const HttpsEndpoint& endpoint, std::chrono::milliseconds timeout) {
  addrinfo hints = {};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(endpoint.host.c_str(), std::to_string(endpoint.port).c_str(), &hints, &found) !=
      0) {
    return kCauseHostNotFound;
  }
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, freeaddrinfo);
  int last = 0;
  for (const addrinfo* at = found; at; at = at->ai_next) {
    const int fd =
        socket(at->ai_family, at->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, at->ai_protocol);
    if (fd < 0) {
      last = errno;
      continue;
    }
    int error = connect(fd, at->ai_addr, at->ai_addrlen) == 0 ? 0 : errno;
    if (error == EINPROGRESS) {
      pollfd waiting = {fd, POLLOUT, 0};
      if (poll(&waiting, 1, static_cast<int>(timeout.count())) <= 0) {
        error = ETIMEDOUT;
      } else {
        socklen_t size = sizeof(error);
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
      }
    }
    close(fd);
    if (error == 0) return kCauseConnectionFailed;
    last = error;
  }
  return causeOfErrno(last);
}

bool isIpAddress(const std::string& host) {
  unsigned char address[sizeof(in6_addr)];
  return inet_pton(AF_INET, host.c_str(), address) == 1 ||
         inet_pton(AF_INET6, host.c_str(), address) == 1;
}

class OpenSslHttpsClient : public HttpsClient {
 public:
  OpenSslHttpsClient(const HttpsEndpoint& endpoint, const HttpsTimeouts& timeouts)
      : endpoint_(endpoint), timeouts_(timeouts), client_(endpoint.host, endpoint.port) {
    client_.set_default_headers({{"User-Agent", "Korva"}});
    client_.set_keep_alive(true);
    // A request goes out as two writes (the head, then the body): with
    // Nagle's rule the body would wait for the server's delayed ACK of the
    // head, about 40 ms a request on Linux.
    client_.set_tcp_nodelay(true);
    client_.set_decompress(false);
    client_.set_connection_timeout(timeouts.connect);
    client_.set_read_timeout(timeouts.read);
    client_.set_write_timeout(timeouts.read);
    // The chain and the host are checked by OpenSSL during the handshake,
    // which fails on any fault (cpp-httplib 0.11's own host check reads past
    // an IP address entry of another length, so it is not used).
    client_.enable_server_certificate_verification(false);
    SSL_CTX* context = client_.ssl_context();
    if (!context) return;
    SSL_CTX_set_default_verify_paths(context);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, &noteVerifyFailure);
    X509_VERIFY_PARAM* verify = SSL_CTX_get0_param(context);
    if (isIpAddress(endpoint.host)) {
      X509_VERIFY_PARAM_set1_ip_asc(verify, endpoint.host.c_str());
    } else {
      X509_VERIFY_PARAM_set_hostflags(verify, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
      X509_VERIFY_PARAM_set1_host(verify, endpoint.host.c_str(), endpoint.host.size());
    }
    const char* extra = std::getenv("KORVA_SERVER_CA");
    if (extra && *extra && SSL_CTX_load_verify_locations(context, extra, nullptr) != 1) {
      certificateFile_ = extra;
    }
  }

  bool send(const HttpsRequest& request, HttpsResponse* response, HttpsError* error) override {
    if (!certificateFile_.empty()) {
      *error = httpsError(HttpsFailure::CertificateFile, endpoint_, certificateFile_);
      return false;
    }
    if (!client_.ssl_context()) {
      *error = httpsError(HttpsFailure::Unreachable, endpoint_, kCauseSecureChannel);
      return false;
    }
    httplib::Request exchange;
    exchange.method = httpMethodName(request.method);
    exchange.path = request.path;
    for (const HttpHeader& h : request.headers) exchange.headers.emplace(h.name, h.value);

    Clock::time_point lastHeard = Clock::now();
    bool stopped = false;  // the reader or the sink said stop
    if (request.bodyReader) {
      buffer_.resize(kPiece);
      exchange.content_length_ = static_cast<size_t>(request.bodyLength);
      exchange.content_provider_ = [&](size_t, size_t left, httplib::DataSink& sink) {
        size_t got = 0;
        if (!request.bodyReader(buffer_.data(), std::min(left, buffer_.size()), &got) || got == 0) {
          stopped = true;
          return false;
        }
        lastHeard = Clock::now();
        return sink.write(buffer_.data(), got);
      };
    } else {
      exchange.body = request.body;
    }
    bool toSink = false;
    std::string body;
    exchange.response_handler = [&](const httplib::Response& answer) {
      lastHeard = Clock::now();
      toSink = request.sink && answer.status >= 200 && answer.status < 300;
      return true;
    };
    exchange.content_receiver = [&](const char* data, size_t size, uint64_t, uint64_t) {
      lastHeard = Clock::now();
      if (!toSink) {
        body.append(data, size);
      } else if (!request.sink(data, size)) {
        stopped = true;
        return false;
      }
      return true;
    };

    httplib::Result result = [&] {
      SigpipeBlock block;
      verifyFailure = 0;
      return client_.send(exchange);
    }();
    if (result) {
      response->status = result->status;
      response->headers.clear();
      for (const auto& h : result->headers) response->headers.push_back({h.first, h.second});
      response->body = std::move(body);
      return true;
    }
    *error = classify(result.error(), stopped, Clock::now() - lastHeard);
    return false;
  }

 private:
  static constexpr size_t kPiece = 64 * 1024;

  HttpsError classify(httplib::Error failure, bool stopped, Clock::duration silence) const {
    switch (failure) {
      case httplib::Error::Connection:
        return unreachable(connectFailureCause(endpoint_, timeouts_.connect));
      case httplib::Error::ConnectionTimeout:
        return unreachable(kCauseTimedOut);
      case httplib::Error::SSLConnection:
        if (verifyFailure != 0) return httpsError(HttpsFailure::Untrusted, endpoint_);
        return unreachable(kCauseSecureChannel);
      case httplib::Error::SSLServerVerification:
      case httplib::Error::SSLLoadingCerts:
        return httpsError(HttpsFailure::Untrusted, endpoint_);
      case httplib::Error::Canceled:
        return httpsError(stopped ? HttpsFailure::Stopped : HttpsFailure::BrokenOff, endpoint_);
      case httplib::Error::Read:
      case httplib::Error::Write:
        if (silence >= timeouts_.read) return unreachable(kCauseTimedOut);
        return httpsError(HttpsFailure::BrokenOff, endpoint_);
      default:
        return unreachable(kCauseConnectionFailed);
    }
  }

  HttpsError unreachable(const std::string& cause) const {
    return httpsError(HttpsFailure::Unreachable, endpoint_, cause);
  }

  const HttpsEndpoint endpoint_;
  const HttpsTimeouts timeouts_;
  httplib::SSLClient client_;
  std::string certificateFile_;  // KORVA_SERVER_CA when it could not be read
  std::vector<char> buffer_;     // an upload's piece
};

}  // namespace

std::unique_ptr<HttpsClient> makeHttpsClient(const HttpsEndpoint& endpoint,
                                             const HttpsTimeouts& timeouts) {
  return std::make_unique<OpenSslHttpsClient>(endpoint, timeouts);
}

}  // namespace korva
