// The server's TLS certificate and key (PEM files): a self-signed one made
// once for the names the server goes by, or one given; checked before use,
// and known to clients by its SHA-256 fingerprint.
//
// A made certificate: RSA 2048 with SHA-256, valid for ten years from an hour
// ago, its subject the first name, every name in its subject alternative
// names (IP addresses as such), usable as its own trust anchor. The key file
// is created readable and writable by its owner only, before anything is
// written to it.
//
// Thread-safety: no state; safe on any thread.
#ifndef KORVA_REPORTSERVER_SERVE_SERVER_CERTIFICATE_H_
#define KORVA_REPORTSERVER_SERVE_SERVER_CERTIFICATE_H_

#include <string>
#include <vector>

namespace korva {

// Makes the pair at certPath and keyPath unless both are there (*made says
// which); false with *error set when one is there without the other or they
// cannot be written (nothing half-made is left).
bool makeCertificateUnlessPresent(const std::string& certPath, const std::string& keyPath,
                                  const std::vector<std::string>& names, bool* made,
                                  std::string* error);

// Checks that both files hold PEM, the key the certificate's; *fingerprint:
// the certificate's SHA-256 in upper-case hex pairs joined by ":".
bool checkCertificate(const std::string& certPath, const std::string& keyPath,
                      std::string* fingerprint, std::string* error);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_SERVE_SERVER_CERTIFICATE_H_
