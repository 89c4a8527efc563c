// The parts of the HTTPS client that every platform shares: endpoints and
// their text, the failure texts, JSON requests and bodies streamed from a
// file. The clients themselves are in posix/https_client_posix.cc and
// win32/https_client_win32.cc.
//
// Thread-safety: no state; a file body's reader is used by the one thread
// that sends its request.
// Ownership: a file body's reader owns the open file (shared by its copies)
// and closes it with the last copy.
#include "platform/https_client.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <utility>

#include "platform/stdio_files.h"

namespace korva {

const char kCauseConnectionRefused[] = "connection refused";
const char kCauseHostNotFound[] = "host not found";
const char kCauseTimedOut[] = "timed out";
const char kCauseNetworkUnreachable[] = "network unreachable";
const char kCauseHostUnreachable[] = "host unreachable";
const char kCauseConnectionReset[] = "connection reset";
const char kCauseSecureChannel[] = "secure connection failed";
const char kCauseConnectionFailed[] = "connection failed";

std::string HttpsEndpoint::text() const {
  const std::string shown = host.find(':') == std::string::npos ? host : "[" + host + "]";
  return shown + ":" + std::to_string(port);
}

namespace {

// The port of "PORT" (digits only, 1-65535), or 0.
int parsePort(const std::string& digits) {
  if (digits.empty() || digits.size() > 5) return 0;
  int port = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    port = port * 10 + (c - '0');
  }
  return port <= 65535 ? port : 0;
}

}  // namespace

bool parseHttpsEndpoint(const std::string& text, int defaultPort, HttpsEndpoint* out) {
  std::string host;
  std::string rest;  // what follows the host: "" or ":PORT"
  if (!text.empty() && text[0] == '[') {
    const size_t close = text.find(']');
    if (close == std::string::npos) return false;
    host = text.substr(1, close - 1);
    rest = text.substr(close + 1);
    if (host.find(':') == std::string::npos) return false;
  } else {
    const size_t colon = text.find(':');
    host = text.substr(0, colon);
    if (colon != std::string::npos) rest = text.substr(colon);
  }
  if (host.empty() || host.find_first_of("[]/ ") != std::string::npos) return false;
  int port = defaultPort;
  if (!rest.empty()) {
    port = rest[0] == ':' ? parsePort(rest.substr(1)) : 0;
    if (port == 0) return false;
  }
  out->host = host;
  out->port = port;
  return true;
}

const char* httpMethodName(HttpMethod method) {
  switch (method) {
    case HttpMethod::Get:
      return "GET";
    case HttpMethod::Post:
      return "POST";
    case HttpMethod::Put:
      return "PUT";
    case HttpMethod::Delete:
      return "DELETE";
  }
  return "GET";
}

HttpsRequest jsonRequest(HttpMethod method, std::string path, std::string json,
                         HttpHeaders headers) {
  HttpsRequest request;
  request.method = method;
  request.path = std::move(path);
  request.headers = std::move(headers);
  request.headers.push_back({"Content-Type", "application/json"});
  request.body = std::move(json);
  return request;
}

int streamBodyFromFile(const std::string& path, HttpsRequest* request) {
  std::shared_ptr<std::FILE> file(std::fopen(path.c_str(), "rb"), StdioFileCloser());
  if (!file) return errno;
  if (seekFile(file.get(), 0, SEEK_END) != 0) return errno;
  const int64_t size = tellFile(file.get());
  if (size < 0 || seekFile(file.get(), 0, SEEK_SET) != 0) return errno;
  request->bodyLength = static_cast<uint64_t>(size);
  request->bodyReader = [file](char* buffer, size_t room, size_t* got) {
    *got = std::fread(buffer, 1, room, file.get());
    return *got > 0 || !std::ferror(file.get());
  };
  request->body.clear();
  return 0;
}

std::string HttpsResponse::header(const std::string& name) const {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (const HttpHeader& h : headers) {
    if (h.name.size() != name.size()) continue;
    size_t i = 0;
    while (i < name.size() && lower(h.name[i]) == lower(name[i])) ++i;
    if (i == name.size()) return h.value;
  }
  return std::string();
}

HttpsError httpsError(HttpsFailure kind, const HttpsEndpoint& endpoint, const std::string& cause) {
  const std::string server = "the report server " + endpoint.text();
  HttpsError error;
  error.kind = kind;
  error.cause = cause;
  switch (kind) {
    case HttpsFailure::None:
      break;
    case HttpsFailure::Unreachable:
      error.text = "Cannot reach " + server + ": " + cause + ".";
      break;
    case HttpsFailure::Untrusted:
      error.text =
          "The report server " + endpoint.text() + " presented a certificate that is not trusted.";
      break;
    case HttpsFailure::BrokenOff:
      error.text = "The report server " + endpoint.text() + " broke off the connection.";
      break;
    case HttpsFailure::Stopped:
      error.text = "The transfer with " + server + " was stopped.";
      break;
    case HttpsFailure::CertificateFile:
      error.text = "Cannot read the report server certificates in " + cause + " (KORVA_SERVER_CA).";
      break;
  }
  return error;
}

}  // namespace korva
