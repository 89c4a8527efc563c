// The HTTPS client through which the report server's client objects reach a
// remote report server (`korvaserver serve` on HOST:PORT): one request at a
// time over a kept-open TLS connection, bodies as strings or streamed both
// ways, failures classified and described with the server's HOST:PORT.
// POSIX: cpp-httplib's SSLClient over OpenSSL. Windows: WinHTTP, the
// certificate checked by the client itself through crypt32.
//
// TLS always. The server's certificate must chain to a root the system
// trusts or to one of the PEM certificates in the file named by the
// environment variable KORVA_SERVER_CA (read when the client is made), be
// valid now and name the host (a DNS name, or the IP address itself);
// else the request fails as Untrusted. POSIX sends nothing to such a server;
// Windows never sends it the body, but the request line and headers may
// have gone out before the check could stop them (see
// win32/https_client_win32.cc): keep secrets in bodies.
//
// Part of korva_platform_https, which only the report server's client links.
//
// Thread-safety: a client is used by one thread at a time; separate
// clients are independent. The free functions keep no state.
// Ownership: a client owns its connection and closes it when destroyed; a
// request's reader and sink belong to the caller and are only called during
// send().
#ifndef KORVA_PLATFORM_HTTPS_CLIENT_H_
#define KORVA_PLATFORM_HTTPS_CLIENT_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace korva {

// Where a server listens: a host name, an IPv4 address or an IPv6 address
// (kept without its brackets), and a port.
struct HttpsEndpoint {
  std::string host;
  int port = 0;

  // "host:port", an IPv6 address in brackets: "[::1]:6480".
  std::string text() const;
};

// Reads "HOST", "HOST:PORT", "[V6]" or "[V6]:PORT" (PORT 1-65535; the
// default port when none is given): true and *out set, or false for
// anything else (an empty host, a bad port, an IPv6 address without
// brackets).
bool parseHttpsEndpoint(const std::string& text, int defaultPort, HttpsEndpoint* out);

enum class HttpMethod { Get, Post, Put, Delete };
const char* httpMethodName(HttpMethod method);  // "GET", "POST", ...

struct HttpHeader {
  std::string name;
  std::string value;
};
using HttpHeaders = std::vector<HttpHeader>;

// Hands out an upload's next bytes: at most size into buffer, *got set to
// their number (0 only at the end). False stops the request.
using BodyReader = std::function<bool(char* buffer, size_t size, size_t* got)>;
// Takes a download's next bytes, in order. False stops the request.
using BodySink = std::function<bool(const char* data, size_t size)>;

struct HttpsRequest {
  HttpMethod method = HttpMethod::Get;
  std::string path;     // with its query, already encoded: "/v1/objects?id=3"
  HttpHeaders headers;  // sent as given; Host and Content-Length are the client's
  std::string body;     // the body, unless bodyReader is set
  // A streamed body of exactly bodyLength bytes, read while it is sent.
  BodyReader bodyReader;
  uint64_t bodyLength = 0;
  // Takes the body of a successful answer (status 200-299) as it arrives;
  // unset, or for any other status, the body goes to HttpsResponse::body.
  BodySink sink;
};

// A request whose body is the JSON text (Content-Type: application/json).
HttpsRequest jsonRequest(HttpMethod method, std::string path, std::string json,
                         HttpHeaders headers = {});

// Makes the request's body stream from the file at path (in the process's
// encoding), read in pieces while it is sent: 0, or the C error number when
// the file cannot be opened or sized.
int streamBodyFromFile(const std::string& path, HttpsRequest* request);

struct HttpsResponse {
  int status = 0;
  HttpHeaders headers;  // as the server sent them, in order
  std::string body;     // empty when a sink took it

  // The value of the first header of that name (letter case ignored); ""
  // when there is none.
  std::string header(const std::string& name) const;
};

enum class HttpsFailure {
  None,
  // "Cannot reach the report server HOST:PORT: <cause>." The cause is one of
  // the kCause texts below.
  Unreachable,
  // "The report server HOST:PORT presented a certificate that is not
  // trusted." (an unknown root, another host's name, expired...)
  Untrusted,
  // "The report server HOST:PORT broke off the connection." (it closed or
  // reset the connection before its whole answer had arrived)
  BrokenOff,
  // "The transfer with the report server HOST:PORT was stopped." (the
  // request's reader or sink answered false)
  Stopped,
  // "Cannot read the report server certificates in FILE (KORVA_SERVER_CA)."
  // Every request of such a client fails so.
  CertificateFile,
};

// The causes of Unreachable.
extern const char kCauseConnectionRefused[];   // "connection refused"
extern const char kCauseHostNotFound[];        // "host not found"
extern const char kCauseTimedOut[];            // "timed out"
extern const char kCauseNetworkUnreachable[];  // "network unreachable"
extern const char kCauseHostUnreachable[];     // "host unreachable"
extern const char kCauseConnectionReset[];     // "connection reset"
extern const char kCauseSecureChannel[];       // "secure connection failed"
extern const char kCauseConnectionFailed[];    // "connection failed" (anything else)

struct HttpsError {
  HttpsFailure kind = HttpsFailure::None;
  std::string cause;  // Unreachable's cause; the file for CertificateFile
  std::string text;   // the whole sentence, as above
};

// The error of that kind for the server at endpoint, its text formed.
HttpsError httpsError(HttpsFailure kind, const HttpsEndpoint& endpoint,
                      const std::string& cause = std::string());

struct HttpsTimeouts {
  // To set up the connection (TCP and TLS).
  std::chrono::milliseconds connect{15000};
  // Longest silence while the request is sent or the answer awaited and read.
  std::chrono::milliseconds read{120000};
};

class HttpsClient {
 public:
  virtual ~HttpsClient() = default;

  // Sends the request and takes the whole answer: true and *response set,
  // whatever the status; false and *error set when no whole answer came.
  virtual bool send(const HttpsRequest& request, HttpsResponse* response, HttpsError* error) = 0;
};

// A client of the server at endpoint, trusting the system's certificates and
// those of the PEM file named by KORVA_SERVER_CA (read now).
std::unique_ptr<HttpsClient> makeHttpsClient(const HttpsEndpoint& endpoint,
                                             const HttpsTimeouts& timeouts = HttpsTimeouts());

}  // namespace korva

#endif  // KORVA_PLATFORM_HTTPS_CLIENT_H_
