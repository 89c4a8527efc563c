// The report server's certificate check on Windows (https_trust_win32.h):
// a chain built by the system's default engine with the server's and the
// extra certificates at hand, then the root compared byte for byte with the
// extra ones when the system does not know it, then the host.
//
// Thread-safety and ownership: see the header.
#include "platform/win32/https_trust_win32.h"

// The SECURITY_FLAG_ values of the SSL policy.
#include <winhttp.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace korva {
namespace win32 {
namespace {

const char kBegin[] = "-----BEGIN CERTIFICATE-----";
const char kEnd[] = "-----END CERTIFICATE-----";

struct StoreCloser {
  void operator()(void* store) const { CertCloseStore(store, 0); }
};
struct ChainFreer {
  void operator()(const CERT_CHAIN_CONTEXT* chain) const { CertFreeCertificateChain(chain); }
};

bool readWhole(const std::string& path, std::string* out) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) return false;
  char piece[4096];
  size_t got;
  while ((got = std::fread(piece, 1, sizeof(piece), file.get())) > 0) out->append(piece, got);
  return !std::ferror(file.get());
}

// Whether one of the store's certificates has exactly these bytes.
bool holdsExactly(HCERTSTORE store, PCCERT_CONTEXT certificate) {
  PCCERT_CONTEXT at = nullptr;
  while ((at = CertEnumCertificatesInStore(store, at)) != nullptr) {
    if (at->cbCertEncoded == certificate->cbCertEncoded &&
        std::memcmp(at->pbCertEncoded, certificate->pbCertEncoded, at->cbCertEncoded) == 0) {
      CertFreeCertificateContext(at);
      return true;
    }
  }
  return false;
}

// Whether the certificate lists the address among its IP address
// alternative names.
bool namesAddress(PCCERT_CONTEXT certificate, const unsigned char* address, DWORD size) {
  const CERT_INFO* info = certificate->pCertInfo;
  const CERT_EXTENSION* names =
      CertFindExtension(szOID_SUBJECT_ALT_NAME2, info->cExtension, info->rgExtension);
  if (!names) return false;
  CERT_ALT_NAME_INFO* decoded = nullptr;
  DWORD decodedSize = 0;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, names->Value.pbData,
                           names->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &decoded,
                           &decodedSize)) {
    return false;
  }
  bool found = false;
  for (DWORD i = 0; i < decoded->cAltEntry && !found; ++i) {
    const CERT_ALT_NAME_ENTRY& entry = decoded->rgAltEntry[i];
    found = entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && entry.IPAddress.cbData == size &&
            std::memcmp(entry.IPAddress.pbData, address, size) == 0;
  }
  LocalFree(decoded);
  return found;
}

// Whether the chain's certificate is the host's as the system's SSL policy
// sees it (the root was judged before).
bool policyNamesHost(const CERT_CHAIN_CONTEXT* chain, const std::string& host) {
  std::wstring name(host.begin(), host.end());
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl = {};
  ssl.cbSize = sizeof(ssl);
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.fdwChecks = SECURITY_FLAG_IGNORE_UNKNOWN_CA;
  ssl.pwszServerName = &name[0];
  CERT_CHAIN_POLICY_PARA policy = {};
  policy.cbSize = sizeof(policy);
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS status = {};
  status.cbSize = sizeof(status);
  return CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status) &&
         status.dwError == 0;
}

}  // namespace

ServerTrust::ServerTrust()
    : extra_(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr)) {}

ServerTrust::~ServerTrust() {
  if (extra_) CertCloseStore(extra_, 0);
}

bool ServerTrust::addPemFile(const std::string& path) {
  std::string pem;
  if (!extra_ || !readWhole(path, &pem)) return false;
  int added = 0;
  for (size_t begin = pem.find(kBegin); begin != std::string::npos;
       begin = pem.find(kBegin, begin + 1)) {
    const size_t end = pem.find(kEnd, begin);
    if (end == std::string::npos) break;
    const std::string block = pem.substr(begin, end + sizeof(kEnd) - 1 - begin);
    DWORD size = 0;
    if (!CryptStringToBinaryA(block.data(), static_cast<DWORD>(block.size()),
                              CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr)) {
      continue;
    }
    std::string der(size, '\0');
    if (CryptStringToBinaryA(block.data(), static_cast<DWORD>(block.size()),
                             CRYPT_STRING_BASE64HEADER, reinterpret_cast<BYTE*>(&der[0]), &size,
                             nullptr, nullptr) &&
        CertAddEncodedCertificateToStore(extra_, X509_ASN_ENCODING,
                                         reinterpret_cast<const BYTE*>(der.data()), size,
                                         CERT_STORE_ADD_USE_EXISTING, nullptr)) {
      ++added;
    }
  }
  return added > 0;
}

bool ServerTrust::trusts(PCCERT_CONTEXT certificate, const std::string& host) const {
  if (!certificate || !extra_) return false;
  std::unique_ptr<void, StoreCloser> atHand(
      CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
  if (!atHand) return false;
  if (certificate->hCertStore)
    CertAddStoreToCollection(atHand.get(), certificate->hCertStore, 0, 0);
  CertAddStoreToCollection(atHand.get(), extra_, 0, 0);

  LPSTR serverAuthentication = const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH);
  CERT_CHAIN_PARA para = {};
  para.cbSize = sizeof(para);
  para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  para.RequestedUsage.Usage.cUsageIdentifier = 1;
  para.RequestedUsage.Usage.rgpszUsageIdentifier = &serverAuthentication;
  PCCERT_CHAIN_CONTEXT built = nullptr;
  if (!CertGetCertificateChain(nullptr, certificate, nullptr, atHand.get(), &para, 0, nullptr,
                               &built)) {
    return false;
  }
  std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFreer> chain(built);
  const DWORD faults = chain->TrustStatus.dwErrorStatus;
  if ((faults & ~static_cast<DWORD>(CERT_TRUST_IS_UNTRUSTED_ROOT)) != 0 || chain->cChain != 1 ||
      chain->rgpChain[0]->cElement == 0) {
    return false;
  }
  if (faults & CERT_TRUST_IS_UNTRUSTED_ROOT) {
    const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
    if (!holdsExactly(extra_, simple->rgpElement[simple->cElement - 1]->pCertContext)) {
      return false;
    }
  }

  unsigned char address[16];
  if (InetPtonA(AF_INET, host.c_str(), address) == 1) return namesAddress(certificate, address, 4);
  if (InetPtonA(AF_INET6, host.c_str(), address) == 1) {
    return namesAddress(certificate, address, 16);
  }
  return policyNamesHost(chain.get(), host);
}

}  // namespace win32
}  // namespace korva
