// The HTTPS client on Windows: WinHTTP, synchronous, one session and one
// connection handle per client (WinHTTP keeps the connection open between
// requests), no proxy, no redirects, no cookies.
//
// The certificate: WinHTTP would refuse a root it does not know and (under
// wine) any certificate for an IP address, so it is told to let unknown
// roots and names pass, and the client checks the certificate itself
// (https_trust_win32.h) when WinHTTP is about to send the request
// (WINHTTP_CALLBACK_STATUS_SENDING_REQUEST, after the TLS handshake), and
// closes the request handle of an untrusted server right there. Windows
// documents that closing a request handle ends an asynchronous request in
// progress; for this synchronous one it promises nothing, and wine sends the
// request line and headers all the same. The body goes out only after the
// send returned with the certificate found trusted, so a body never reaches
// such a server.
//
// WinHTTP says only that a connection could not be made: the cause is then
// found by trying once more with Winsock (resolve, connect with the connect
// timeout). An answer shorter than its Content-Length (wine reports the end
// of the data where the server dropped the connection) was broken off.
//
// Thread-safety: a client is used by one thread at a time; the status
// callback runs on that thread, inside WinHttpSendRequest.
// Ownership: a client owns its WinHTTP handles and its Winsock start.
#include "platform/win32/windows_api.h"
// windows.h first.
#include <winhttp.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/https_client.h"
#include "platform/win32/https_trust_win32.h"

namespace korva {
namespace {

using win32::ServerTrust;

constexpr DWORD kPiece = 64 * 1024;

class InternetHandle {
 public:
  explicit InternetHandle(HINTERNET handle = nullptr) : handle_(handle) {}
  ~InternetHandle() {
    if (handle_) WinHttpCloseHandle(handle_);
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;

  HINTERNET get() const { return handle_; }
  void reset(HINTERNET handle = nullptr) {
    if (handle_) WinHttpCloseHandle(handle_);
    handle_ = handle;
  }
  // Forgets a handle that was closed elsewhere.
  void forget() { handle_ = nullptr; }

 private:
  HINTERNET handle_;
};

std::wstring wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int size = static_cast<int>(utf8.size());
  const int needed = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring out(static_cast<size_t>(std::max(needed, 0)), L'\0');
  if (needed > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, &out[0], needed);
  return out;
}

std::string utf8(const wchar_t* text, size_t length) {
  if (length == 0) return std::string();
  const int size = static_cast<int>(length);
  const int needed = WideCharToMultiByte(CP_UTF8, 0, text, size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(std::max(needed, 0)), '\0');
  if (needed > 0) WideCharToMultiByte(CP_UTF8, 0, text, size, &out[0], needed, nullptr, nullptr);
  return out;
}

const char* causeOfSocketError(int error) {
  switch (error) {
    case WSAECONNREFUSED:
      return kCauseConnectionRefused;
    case WSAETIMEDOUT:
      return kCauseTimedOut;
    case WSAENETUNREACH:
      return kCauseNetworkUnreachable;
    case WSAEHOSTUNREACH:
      return kCauseHostUnreachable;
    case WSAECONNRESET:
      return kCauseConnectionReset;
    default:
      return kCauseConnectionFailed;
  }
}

// Why a connection to the endpoint cannot be made: resolves the host and
// connects to each of its addresses in turn; the cause of the last failure
// (a connection that works now: "connection failed"). Winsock is started.
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
    const SOCKET s = socket(at->ai_family, at->ai_socktype, at->ai_protocol);
    if (s == INVALID_SOCKET) {
      last = WSAGetLastError();
      continue;
    }
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    int error =
        connect(s, at->ai_addr, static_cast<int>(at->ai_addrlen)) == 0 ? 0 : WSAGetLastError();
    if (error == WSAEWOULDBLOCK) {
      fd_set writable;
      fd_set failed;
      FD_ZERO(&writable);
      FD_ZERO(&failed);
      FD_SET(s, &writable);
      FD_SET(s, &failed);
      const long ms = static_cast<long>(timeout.count());
      timeval wait = {ms / 1000, (ms % 1000) * 1000};
      if (select(0, nullptr, &writable, &failed, &wait) <= 0) {
        error = WSAETIMEDOUT;
      } else if (FD_ISSET(s, &failed)) {
        int size = sizeof(error);
        error = 0;
        getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
        if (error == 0) error = WSAECONNREFUSED;
      } else {
        error = 0;
      }
    }
    closesocket(s);
    if (error == 0) return kCauseConnectionFailed;
    last = error;
  }
  return causeOfSocketError(last);
}

// The response headers, without the status line.
HttpHeaders responseHeaders(HINTERNET request) {
  HttpHeaders headers;
  DWORD size = 0;
  WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                      WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return headers;
  std::wstring raw(size / sizeof(wchar_t) + 1, L'\0');
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                           &raw[0], &size, WINHTTP_NO_HEADER_INDEX)) {
    return headers;
  }
  raw.resize(size / sizeof(wchar_t));
  size_t line = raw.find(L"\r\n");  // after the status line
  while (line != std::wstring::npos) {
    const size_t start = line + 2;
    line = raw.find(L"\r\n", start);
    const std::wstring text = raw.substr(start, line == std::wstring::npos ? line : line - start);
    const size_t colon = text.find(L':');
    if (colon == std::wstring::npos || colon == 0) continue;
    const size_t value = text.find_first_not_of(L" \t", colon + 1);
    headers.push_back(
        {utf8(text.data(), colon), value == std::wstring::npos
                                       ? std::string()
                                       : utf8(text.data() + value, text.size() - value)});
  }
  return headers;
}

class WinHttpsClient;

// What the status callback found of the server's certificate.
struct CertificateVerdict {
  WinHttpsClient* client;
  bool checked = false;
  bool trusted = false;
  bool closedHandle = false;  // the callback closed the request handle
};

class WinHttpsClient : public HttpsClient {
 public:
  WinHttpsClient(const HttpsEndpoint& endpoint, const HttpsTimeouts& timeouts)
      : endpoint_(endpoint), timeouts_(timeouts) {
    WSADATA data;
    winsockStarted_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    const char* extra = std::getenv("KORVA_SERVER_CA");
    if (extra && *extra && !trust_.addPemFile(extra)) certificateFile_ = extra;
    session_.reset(WinHttpOpen(L"Korva", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                               WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session_.get()) return;
    const int connect = static_cast<int>(timeouts.connect.count());
    const int read = static_cast<int>(timeouts.read.count());
    WinHttpSetTimeouts(session_.get(), connect, connect, read, read);
    const std::string host =
        endpoint.host.find(':') == std::string::npos ? endpoint.host : "[" + endpoint.host + "]";
    connection_.reset(WinHttpConnect(session_.get(), wide(host).c_str(),
                                     static_cast<INTERNET_PORT>(endpoint.port), 0));
  }

  ~WinHttpsClient() override {
    connection_.reset();
    session_.reset();
    if (winsockStarted_) WSACleanup();
  }

  bool send(const HttpsRequest& request, HttpsResponse* response, HttpsError* error) override {
    if (!certificateFile_.empty()) {
      *error = httpsError(HttpsFailure::CertificateFile, endpoint_, certificateFile_);
      return false;
    }
    if (!connection_.get()) return fail(error, unreachable(kCauseConnectionFailed));
    InternetHandle handle(WinHttpOpenRequest(
        connection_.get(), wide(httpMethodName(request.method)).c_str(), wide(request.path).c_str(),
        nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE));
    if (!handle.get()) return fail(error, unreachable(kCauseConnectionFailed));
    DWORD security = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_CN_INVALID;
    WinHttpSetOption(handle.get(), WINHTTP_OPTION_SECURITY_FLAGS, &security, sizeof(security));
    DWORD redirects = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    WinHttpSetOption(handle.get(), WINHTTP_OPTION_REDIRECT_POLICY, &redirects, sizeof(redirects));
    DWORD disabled = WINHTTP_DISABLE_COOKIES;
    WinHttpSetOption(handle.get(), WINHTTP_OPTION_DISABLE_FEATURE, &disabled, sizeof(disabled));
    WinHttpSetStatusCallback(handle.get(), &WinHttpsClient::onStatus,
                             WINHTTP_CALLBACK_STATUS_SENDING_REQUEST, 0);

    const uint64_t length = request.bodyReader ? request.bodyLength : request.body.size();
    std::wstring headers;
    for (const HttpHeader& h : request.headers) {
      headers += wide(h.name) + L": " + wide(h.value) + L"\r\n";
    }
    DWORD total = static_cast<DWORD>(length);
    if (length > MAXDWORD) {
      headers += L"Content-Length: " + std::to_wstring(length) + L"\r\n";
      total = WINHTTP_IGNORE_REQUEST_TOTAL_LENGTH;
    }
    CertificateVerdict verdict{this};
    const BOOL sent = WinHttpSendRequest(
        handle.get(), headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
        static_cast<DWORD>(-1L), WINHTTP_NO_REQUEST_DATA, 0, total,
        reinterpret_cast<DWORD_PTR>(&verdict));
    const DWORD sendError = sent ? 0 : GetLastError();
    if (verdict.closedHandle) handle.forget();
    if (verdict.checked && !verdict.trusted) {
      return fail(error, httpsError(HttpsFailure::Untrusted, endpoint_));
    }
    if (!sent) return fail(error, failedSending(sendError));
    if (!verdict.checked) return fail(error, httpsError(HttpsFailure::Untrusted, endpoint_));

    return writeBody(handle.get(), request, length, error) &&
           readAnswer(handle.get(), request, response, error);
  }

 private:
  static void CALLBACK onStatus(HINTERNET request, DWORD_PTR context, DWORD status, LPVOID, DWORD) {
    if (status != WINHTTP_CALLBACK_STATUS_SENDING_REQUEST || context == 0) return;
    CertificateVerdict* verdict = reinterpret_cast<CertificateVerdict*>(context);
    verdict->checked = true;
    PCCERT_CONTEXT certificate = nullptr;
    DWORD size = sizeof(certificate);
    if (WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &certificate, &size) &&
        certificate) {
      verdict->trusted = verdict->client->trusted(certificate);
      CertFreeCertificateContext(certificate);
    }
    if (!verdict->trusted) {
      verdict->closedHandle = true;
      WinHttpCloseHandle(request);
    }
  }

  // The certificate check, the last certificate found trusted remembered.
  bool trusted(PCCERT_CONTEXT certificate) {
    const BYTE* bytes = certificate->pbCertEncoded;
    if (lastTrusted_.size() == certificate->cbCertEncoded &&
        std::equal(lastTrusted_.begin(), lastTrusted_.end(), bytes)) {
      return true;
    }
    if (!trust_.trusts(certificate, endpoint_.host)) return false;
    lastTrusted_.assign(bytes, bytes + certificate->cbCertEncoded);
    return true;
  }

  bool writeBody(HINTERNET handle, const HttpsRequest& request, uint64_t length,
                 HttpsError* error) {
    std::vector<char> piece(request.bodyReader ? kPiece : 0);
    for (uint64_t done = 0; done < length;) {
      const char* data = request.body.data() + done;
      DWORD size = static_cast<DWORD>(std::min<uint64_t>(length - done, kPiece));
      if (request.bodyReader) {
        size_t got = 0;
        if (!request.bodyReader(piece.data(), size, &got) || got == 0) {
          return fail(error, httpsError(HttpsFailure::Stopped, endpoint_));
        }
        data = piece.data();
        size = static_cast<DWORD>(got);
      }
      DWORD written = 0;
      if (!WinHttpWriteData(handle, data, size, &written)) {
        return fail(error, failedExchange(GetLastError()));
      }
      done += size;
    }
    return true;
  }

  bool readAnswer(HINTERNET handle, const HttpsRequest& request, HttpsResponse* response,
                  HttpsError* error) {
    if (!WinHttpReceiveResponse(handle, nullptr)) {
      return fail(error, failedExchange(GetLastError()));
    }
    DWORD status = 0;
    DWORD size = sizeof(status);
    WinHttpQueryHeaders(handle, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    response->status = static_cast<int>(status);
    response->headers = responseHeaders(handle);
    response->body.clear();
    const std::string announced = response->header("Content-Length");
    const bool toSink = request.sink && status >= 200 && status < 300;

    std::vector<char> piece(kPiece);
    uint64_t received = 0;
    for (;;) {
      DWORD got = 0;
      if (!WinHttpReadData(handle, piece.data(), kPiece, &got)) {
        return fail(error, failedExchange(GetLastError()));
      }
      if (got == 0) break;
      received += got;
      if (!toSink) {
        response->body.append(piece.data(), got);
      } else if (!request.sink(piece.data(), got)) {
        return fail(error, httpsError(HttpsFailure::Stopped, endpoint_));
      }
    }
    if (!announced.empty() && response->header("Transfer-Encoding").empty() &&
        received < std::strtoull(announced.c_str(), nullptr, 10)) {
      return fail(error, httpsError(HttpsFailure::BrokenOff, endpoint_));
    }
    return true;
  }

  // A failure before the request went out: no connection, or no secure one.
  HttpsError failedSending(DWORD code) const {
    switch (code) {
      case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return unreachable(kCauseHostNotFound);
      case ERROR_WINHTTP_CANNOT_CONNECT:
        return unreachable(connectFailureCause(endpoint_, timeouts_.connect));
      case ERROR_WINHTTP_TIMEOUT:
        return unreachable(kCauseTimedOut);
      case ERROR_WINHTTP_CONNECTION_ERROR:
        return unreachable(kCauseConnectionReset);
      case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        return unreachable(kCauseSecureChannel);
      case ERROR_WINHTTP_SECURE_FAILURE:
      case ERROR_WINHTTP_SECURE_INVALID_CA:
      case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
      case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
      case ERROR_WINHTTP_SECURE_CERT_REVOKED:
      case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
      case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
      case ERROR_WINHTTP_SECURE_INVALID_CERT:
        return httpsError(HttpsFailure::Untrusted, endpoint_);
      default:
        return unreachable(kCauseConnectionFailed);
    }
  }

  // A failure once the request went out.
  HttpsError failedExchange(DWORD code) const {
    if (code == ERROR_WINHTTP_TIMEOUT) return unreachable(kCauseTimedOut);
    return httpsError(HttpsFailure::BrokenOff, endpoint_);
  }

  HttpsError unreachable(const std::string& cause) const {
    return httpsError(HttpsFailure::Unreachable, endpoint_, cause);
  }

  static bool fail(HttpsError* error, HttpsError what) {
    *error = std::move(what);
    return false;
  }

  const HttpsEndpoint endpoint_;
  const HttpsTimeouts timeouts_;
  bool winsockStarted_ = false;
  ServerTrust trust_;
  std::string certificateFile_;    // KORVA_SERVER_CA when it could not be read
  std::vector<BYTE> lastTrusted_;  // the last certificate found trusted
  InternetHandle session_;
  InternetHandle connection_;
};

}  // namespace

std::unique_ptr<HttpsClient> makeHttpsClient(const HttpsEndpoint& endpoint,
                                             const HttpsTimeouts& timeouts) {
  return std::make_unique<WinHttpsClient>(endpoint, timeouts);
}

}  // namespace korva
