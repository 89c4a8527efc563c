// `korvaserver serve` on POSIX: the repository checked, the certificate made
// or checked, the server started, the stop signal awaited.
#include "reportserver/admin/serve_command.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/host_names.h"
#include "platform/stop_signal.h"
#include "reportserver/serve/network_server.h"
#include "reportserver/serve/server_certificate.h"
#include "reportserver/store/named_repository.h"
#include "reportserver/store/server_home.h"
#include "reportserver/testing/fault_injection.h"
#include "reportserver/wire/wire_protocol.h"

namespace korva {

namespace {

constexpr char kDefaultHost[] = "127.0.0.1";

// HOST:PORT, [IPV6]:PORT, HOST or [IPV6]; an IPv6 address without brackets
// is a host without a port.
bool parseListen(const std::string& text, std::string* host, int* port, std::string* error) {
  *port = wire::kDefaultPort;
  std::string portText;
  if (!text.empty() && text[0] == '[') {
    const size_t close = text.find(']');
    if (close == std::string::npos || (close + 1 < text.size() && text[close + 1] != ':')) {
      *error = "-listen " + text + " is not HOST:PORT or [ADDRESS]:PORT.";
      return false;
    }
    *host = text.substr(1, close - 1);
    if (close + 1 < text.size()) portText = text.substr(close + 2);
  } else if (std::count(text.begin(), text.end(), ':') == 1) {
    *host = text.substr(0, text.find(':'));
    portText = text.substr(text.find(':') + 1);
  } else {
    *host = text;
  }
  if (host->empty()) {
    *error = "-listen " + text + " names no host.";
    return false;
  }
  if (!portText.empty() || text.back() == ':') {
    const bool digits =
        !portText.empty() && portText.size() <= 5 &&
        std::all_of(portText.begin(), portText.end(), [](char c) { return c >= '0' && c <= '9'; });
    *port = digits ? std::atoi(portText.c_str()) : -1;
    if (*port < 0 || *port > 65535) {
      *error = "-listen " + text + ": the port is not a number from 0 to 65535.";
      return false;
    }
  }
  return true;
}

// The names a made certificate is for.
std::vector<std::string> certificateNames(const std::string& host) {
  std::vector<std::string> names = localHostNames();
  for (const char* n : {"localhost", "127.0.0.1", "::1"}) names.push_back(n);
  if (host != "0.0.0.0" && host != "::") names.push_back(host);
  std::vector<std::string> unique;
  for (const std::string& n : names) {
    if (std::find(unique.begin(), unique.end(), n) == unique.end()) unique.push_back(n);
  }
  return unique;
}

void printLine(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

}  // namespace

bool serveUntilStopped(const ServeSettings& settings, std::string* error) {
  std::string name, dbPath;
  {
    Database db;
    if (!openNamedRepository(settings.apsName, &db, &name, error) ||
        !repositoryLocation(settings.apsName, &name, &dbPath, error)) {
      return false;
    }
  }
  const std::string base = dbPath.substr(0, dbPath.size() - 3);  // without ".db"

  std::string host = kDefaultHost;
  int port = wire::kDefaultPort;
  if (!settings.listen.empty() && !parseListen(settings.listen, &host, &port, error)) return false;

  std::string certPath = settings.certFile, keyPath = settings.keyFile;
  if (certPath.empty() != keyPath.empty()) {
    *error = "-cert and -key go together.";
    return false;
  }
  StopSignal signals;
  ServeOptions options;
  options.apsName = settings.apsName;
  options.spoolDir = base + ".uploads";
  NetworkServer server(options, stderr);
  if (certPath.empty()) {
    certPath = base + ".crt";
    keyPath = base + ".key";
    const std::vector<std::string> names = certificateNames(host);
    bool made = false;
    if (!makeCertificateUnlessPresent(certPath, keyPath, names, &made, error)) return false;
    if (made) {
      std::string list;
      for (const std::string& n : names) list += (list.empty() ? "" : ", ") + n;
      server.note("Made a self-signed certificate for " + list + ": " + certPath);
    }
  }
  std::string fingerprint;
  if (!checkCertificate(certPath, keyPath, &fingerprint, error)) return false;
  if (!signals.installed(error)) {
    *error = "Cannot catch the stop signals: " + *error + ".";
    return false;
  }
  refreshPlansFromEnvironment();  // KORVA_SERVER_FAULTS (fault_plan.h)
  if (!server.start(host, port, certPath, keyPath, error)) return false;

  const std::string where = host.find(':') == std::string::npos ? host : "[" + host + "]";
  printLine("Certificate SHA-256 fingerprint: " + fingerprint);
  printLine("Serving APS " + name + " on " + where + ":" + std::to_string(server.port()));
  const std::string signal = signals.wait();
  server.note("Stopping on " + (signal.empty() ? std::string("request") : signal) +
              ": the requests under way finish first.");
  server.stop();
  server.note("Stopped.");
  return true;
}

}  // namespace korva
