// Whether the report server's certificate is trusted, decided on Windows by
// the client itself (WinHTTP is told to let unknown roots and names pass,
// and asks this check before it sends a request): the certificate, with the
// intermediate certificates the server sent, must chain to a root of the
// system's or to one of the extra PEM certificates (KORVA_SERVER_CA), with
// no other fault in the chain (time, signature, usage for server
// authentication), and must name the host: an IP address among its IP
// address alternative names (compared as addresses), a DNS name as the
// system's SSL policy matches it.
//
// Thread-safety: adding certificates is not meant to race with checks;
// checks may run on any thread.
// Ownership: a ServerTrust owns the store of its extra certificates.
#ifndef KORVA_PLATFORM_WIN32_HTTPS_TRUST_WIN32_H_
#define KORVA_PLATFORM_WIN32_HTTPS_TRUST_WIN32_H_

#include <string>

#include "platform/win32/windows_api.h"
// windows.h first.
#include <wincrypt.h>

namespace korva {
namespace win32 {

class ServerTrust {
 public:
  ServerTrust();
  ~ServerTrust();
  ServerTrust(const ServerTrust&) = delete;
  ServerTrust& operator=(const ServerTrust&) = delete;

  // Adds the certificates of a PEM file to the extra ones: false when the
  // file cannot be read or holds none that can be read.
  bool addPemFile(const std::string& path);
  // Whether the server's certificate is trusted for host (a DNS name, an
  // IPv4 address or an IPv6 address without brackets).
  bool trusts(PCCERT_CONTEXT certificate, const std::string& host) const;

 private:
  HCERTSTORE extra_;
};

}  // namespace win32
}  // namespace korva

#endif  // KORVA_PLATFORM_WIN32_HTTPS_TRUST_WIN32_H_
