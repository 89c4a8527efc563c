// The HTTPS client against the TLS peer that the suite's fixture starts
// (tls_peer.py, its folder in KORVA_TLS_PEER): answers with their status,
// headers and body, bodies streamed both ways, the certificates it trusts,
// and its words for a server it cannot reach, does not trust, or that breaks
// off; endpoints read and shown.
#include "platform/https_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "common/test_files.h"
#include "common/test_platform.h"
#include "platform/content_digest.h"

namespace {

using korva::HttpMethod;
using korva::HttpsError;
using korva::HttpsFailure;
using korva::HttpsRequest;
using korva::HttpsResponse;

// n bytes, byte i being (i * step) % 251 (the peer's downloads: step 1).
std::string pattern(size_t n, size_t step = 1) {
  std::string bytes(n, '\0');
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>((i * step) % 251);
  return bytes;
}

std::string sha256(const std::string& bytes) {
  korva::Sha256Digest digest;
  digest.update(bytes.data(), bytes.size());
  return digest.finishHex();
}

class HttpsClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* dir = std::getenv("KORVA_TLS_PEER");
    ASSERT_NE(dir, nullptr) << "KORVA_TLS_PEER is not set: run the suite through ctest";
    dir_ = dir;
    std::ifstream in(dir_ + "/peer.txt");
    std::string name;
    int value;
    while (in >> name >> value) ports_[name] = value;
    ASSERT_NE(ports_["trusted"], 0) << "the TLS peer is not running in " << dir_;
    trust("ca.pem");
  }
  void TearDown() override { korva_test::unsetEnvironmentVariable("KORVA_SERVER_CA"); }

  // KORVA_SERVER_CA names the peer's file, or nothing.
  void trust(const std::string& file) {
    if (file.empty()) {
      korva_test::unsetEnvironmentVariable("KORVA_SERVER_CA");
    } else {
      korva_test::setEnvironmentVariable("KORVA_SERVER_CA", dir_ + "/" + file);
    }
  }
  std::unique_ptr<korva::HttpsClient> client(const std::string& server,
                                             const std::string& host = "127.0.0.1") {
    return korva::makeHttpsClient({host, ports_[server]});
  }
  // How far a request for path reached the stranger: "none", "request", "body".
  std::string strangerSaw(const std::string& path) {
    HttpsResponse response;
    HttpsError error;
    HttpsRequest seen;
    seen.path = "/seen?" + path;
    trust("ca.pem");
    EXPECT_TRUE(client("trusted")->send(seen, &response, &error)) << error.text;
    return response.body;
  }

  std::string dir_;
  std::map<std::string, int> ports_;
};

TEST_F(HttpsClientTest, AnswersEachMethodWithStatusHeadersAndBody) {
  struct Case {
    HttpMethod method;
    const char* path;
    const char* json;
    int status;
    const char* body;
  };
  const Case cases[] = {
      {HttpMethod::Post, "/echo", "{\"a\":1}", 200,
       R"({"body":"{\"a\":1}","method":"POST","path":"/echo","session":"s-1","type":"application/json"})"},
      {HttpMethod::Get, "/echo?id=3", "", 200,
       R"({"body":"","method":"GET","path":"/echo?id=3","session":"s-1","type":"application/json"})"},
      {HttpMethod::Put, "/echo/7", "[]", 200,
       R"({"body":"[]","method":"PUT","path":"/echo/7","session":"s-1","type":"application/json"})"},
      {HttpMethod::Delete, "/echo/7", "", 200,
       R"({"body":"","method":"DELETE","path":"/echo/7","session":"s-1","type":"application/json"})"},
      {HttpMethod::Get, "/nowhere", "", 404, "no such path"},
  };
  // One client for all: the requests share its connection.
  auto https = client("trusted");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    HttpsResponse response;
    HttpsError error;
    ASSERT_TRUE(
        https->send(korva::jsonRequest(c.method, c.path, c.json, {{"X-Korva-Session", "s-1"}}),
                    &response, &error))
        << error.text;
    EXPECT_EQ(response.status, c.status);
    EXPECT_EQ(response.header("content-length"), std::to_string(response.body.size()));
    EXPECT_EQ(response.body, c.body);
  }
}

TEST_F(HttpsClientTest, StreamsAFileUpAndADownloadIntoASink) {
  korva_test_common::TempDir dir;
  const std::string content = pattern(3 * 1024 * 1024 + 17, 13);
  HttpsRequest upload;
  upload.method = HttpMethod::Put;
  upload.path = "/upload";
  EXPECT_EQ(korva::streamBodyFromFile(dir.file("missing"), &upload), ENOENT);
  ASSERT_EQ(korva::streamBodyFromFile(dir.write("report.bin", content), &upload), 0);
  EXPECT_EQ(upload.bodyLength, content.size());
  auto https = client("trusted");
  HttpsResponse response;
  HttpsError error;
  ASSERT_TRUE(https->send(upload, &response, &error)) << error.text;
  EXPECT_EQ(response.body, std::to_string(content.size()) + " " + sha256(content));

  const size_t size = 5 * 1024 * 1024 + 3;
  korva::Sha256Digest digest;
  size_t received = 0;
  size_t largest = 0;
  HttpsRequest download;
  download.path = "/download/" + std::to_string(size);
  download.sink = [&](const char* data, size_t n) {
    received += n;
    largest = std::max(largest, n);
    return digest.update(data, n);
  };
  ASSERT_TRUE(https->send(download, &response, &error)) << error.text;
  EXPECT_EQ(response.status, 200);
  EXPECT_EQ(response.body, "");
  EXPECT_EQ(received, size);
  EXPECT_LT(largest, size);
  EXPECT_EQ(digest.finishHex(), sha256(pattern(size)));
}

TEST_F(HttpsClientTest, TrustsTheSystemsAndTheNamedCertificatesForTheirHosts) {
  struct Case {
    const char* trusted;  // KORVA_SERVER_CA's file
    const char* server;
    const char* host;
  };
  const Case cases[] = {
      {"ca.pem", "trusted", "127.0.0.1"},
      {"ca.pem", "trusted6", "::1"},  // unless the machine has no IPv6 loopback
      {"stranger.pem", "stranger", "127.0.0.1"},
      {"stranger.pem", "stranger", "localhost"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.server) + " as " + c.host);
    if (ports_[c.server] == 0) continue;
    trust(c.trusted);
    HttpsResponse response;
    HttpsError error;
    EXPECT_TRUE(client(c.server, c.host)
                    ->send(korva::jsonRequest(HttpMethod::Post, "/echo", "{}"), &response, &error))
        << error.text;
    EXPECT_EQ(response.status, 200);
  }
}

TEST_F(HttpsClientTest, DescribesEachFailureWithTheServer) {
  HttpsRequest stopped;
  stopped.path = "/download/1000000";
  stopped.sink = [](const char*, size_t) { return false; };
  HttpsRequest longUpload;
  longUpload.method = HttpMethod::Put;
  longUpload.path = "/broken";
  longUpload.bodyLength = 16 * 1024 * 1024;
  longUpload.bodyReader = [](char* buffer, size_t size, size_t* got) {
    std::fill(buffer, buffer + size, 'u');
    *got = size;
    return true;
  };
  const HttpsRequest secret = korva::jsonRequest(
      HttpMethod::Post, "/echo/secret-" + std::to_string(korva_test::processId()),
      "{\"password\":\"p\"}", {{"X-Korva-Session", "s-1"}});
  HttpsRequest broken;
  broken.path = "/broken";
  const std::string untrusted = "The report server @ presented a certificate that is not trusted.";
  struct Case {
    const char* trusted;  // KORVA_SERVER_CA's file
    const char* server;
    const char* host;
    const HttpsRequest& request;
    HttpsFailure kind;
    std::string text;  // "@": the server's HOST:PORT
  };
  const Case cases[] = {
      {"", "trusted", "127.0.0.1", secret, HttpsFailure::Untrusted, untrusted},
      {"ca.pem", "stranger", "127.0.0.1", secret, HttpsFailure::Untrusted, untrusted},
      {"ca.pem", "trusted", "localhost", secret, HttpsFailure::Untrusted, untrusted},
      {"missing.pem", "trusted", "127.0.0.1", secret, HttpsFailure::CertificateFile,
       "Cannot read the report server certificates in " + dir_ + "/missing.pem (KORVA_SERVER_CA)."},
      {"ca.pem", "refused", "127.0.0.1", secret, HttpsFailure::Unreachable,
       "Cannot reach the report server @: connection refused."},
      {"ca.pem", "trusted", "127.0.0.1", broken, HttpsFailure::BrokenOff,
       "The report server @ broke off the connection."},
      {"ca.pem", "trusted", "127.0.0.1", longUpload, HttpsFailure::BrokenOff,
       "The report server @ broke off the connection."},
      {"ca.pem", "trusted", "127.0.0.1", stopped, HttpsFailure::Stopped,
       "The transfer with the report server @ was stopped."},
  };
  for (const Case& c : cases) {
    const std::string at = std::string(c.host) + ":" + std::to_string(ports_[c.server]);
    SCOPED_TRACE(at + c.request.path);
    trust(c.trusted);
    HttpsResponse response;
    HttpsError error;
    EXPECT_FALSE(client(c.server, c.host)->send(c.request, &response, &error));
    EXPECT_EQ(error.kind, c.kind);
    std::string text = c.text;
    const size_t mark = text.find('@');
    if (mark != std::string::npos) text.replace(mark, 1, at);
    EXPECT_EQ(error.text, text);
    if (std::string(c.server) == "stranger") {
      // Nothing reaches a server that is not trusted; under wine, WinHTTP
      // sends the request line and headers before the client can stop it.
      const std::string seen = strangerSaw(c.request.path);
      EXPECT_NE(seen, "body");
      if (!korva_test::runsUnderWine()) {
        EXPECT_EQ(seen, "none");
      }
    }
  }
}

TEST(HttpsEndpointTest, ReadsHostAndPortAndShowsThem) {
  struct Case {
    const char* text;
    const char* host;
    int port;
    const char* shown;
  };
  const Case cases[] = {
      {"reports.example.com", "reports.example.com", 6480, "reports.example.com:6480"},
      {"10.1.2.3:443", "10.1.2.3", 443, "10.1.2.3:443"},
      {"[::1]", "::1", 6480, "[::1]:6480"},
      {"[fe80::2]:65535", "fe80::2", 65535, "[fe80::2]:65535"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    korva::HttpsEndpoint endpoint;
    ASSERT_TRUE(korva::parseHttpsEndpoint(c.text, 6480, &endpoint));
    EXPECT_EQ(endpoint.host, c.host);
    EXPECT_EQ(endpoint.port, c.port);
    EXPECT_EQ(endpoint.text(), c.shown);
  }
  for (const char* text : {"", ":80", "host:", "host:0", "host:65536", "host:8x", "::1", "[::1",
                           "[host]:80", "[::1]80", "a/b:80"}) {
    korva::HttpsEndpoint endpoint{"unchanged", 1};
    EXPECT_FALSE(korva::parseHttpsEndpoint(text, 6480, &endpoint)) << text;
    EXPECT_EQ(endpoint.host, "unchanged");
  }
}

}  // namespace
