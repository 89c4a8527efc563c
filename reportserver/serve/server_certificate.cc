// Making and checking the server's certificate with OpenSSL's X509 API.
#include "reportserver/serve/server_certificate.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "platform/filesys.h"
#include "platform/stdio_files.h"

namespace korva {

namespace {

template <typename T, void (*Free)(T*)>
struct OpenSslDeleter {
  void operator()(T* p) const { Free(p); }
};
using X509Ptr = std::unique_ptr<X509, OpenSslDeleter<X509, X509_free>>;
using KeyPtr = std::unique_ptr<EVP_PKEY, OpenSslDeleter<EVP_PKEY, EVP_PKEY_free>>;
using ExtensionPtr =
    std::unique_ptr<X509_EXTENSION, OpenSslDeleter<X509_EXTENSION, X509_EXTENSION_free>>;
using OctetsPtr =
    std::unique_ptr<ASN1_OCTET_STRING, OpenSslDeleter<ASN1_OCTET_STRING, ASN1_OCTET_STRING_free>>;
using BigNumPtr = std::unique_ptr<BIGNUM, OpenSslDeleter<BIGNUM, BN_free>>;

// An encrypted key is refused rather than asked for on the terminal.
int noPassphrase(char*, int, int, void*) { return 0; }

bool exists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(path, ignored);
}

// "DNS:a,IP:127.0.0.1,..." for the names.
std::string alternativeNames(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) {
    OctetsPtr address(a2i_IPADDRESS(name.c_str()));
    list += std::string(list.empty() ? "" : ",") + (address ? "IP:" : "DNS:") + name;
  }
  ERR_clear_error();  // what the names that are no addresses left
  return list;
}

bool addExtension(X509* cert, int nid, const std::string& value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
  ExtensionPtr ext(X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str()));
  return ext && X509_add_ext(cert, ext.get(), -1) == 1;
}

X509Ptr selfSigned(EVP_PKEY* key, const std::vector<std::string>& names) {
  X509Ptr cert(X509_new());
  if (!cert || X509_set_version(cert.get(), 2) != 1) return nullptr;
  unsigned char serial[16];
  if (RAND_bytes(serial, sizeof serial) != 1) return nullptr;
  serial[0] &= 0x7f;  // a positive number
  BigNumPtr number(BN_bin2bn(serial, sizeof serial, nullptr));
  if (!number || !BN_to_ASN1_INTEGER(number.get(), X509_get_serialNumber(cert.get()))) {
    return nullptr;
  }
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -60 * 60);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 10L * 365 * 24 * 60 * 60);
  X509_NAME* subject = X509_get_subject_name(cert.get());
  const std::string commonName = names.empty() ? "localhost" : names.front();
  X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
                             reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
  if (X509_set_issuer_name(cert.get(), subject) != 1 || X509_set_pubkey(cert.get(), key) != 1) {
    return nullptr;
  }
  const bool extended = addExtension(cert.get(), NID_basic_constraints, "critical,CA:TRUE") &&
                        addExtension(cert.get(), NID_key_usage,
                                     "critical,digitalSignature,keyEncipherment,keyCertSign") &&
                        addExtension(cert.get(), NID_ext_key_usage, "serverAuth") &&
                        addExtension(cert.get(), NID_subject_key_identifier, "hash") &&
                        addExtension(cert.get(), NID_subject_alt_name, alternativeNames(names));
  if (!extended || X509_sign(cert.get(), key, EVP_sha256()) == 0) return nullptr;
  return cert;
}

// Writes the PEM of what write puts into a new file at path.
template <typename Write>
bool writeNew(const std::string& path, bool privateFile, Write write, std::string* error) {
  int openError = 0;
  StdioFile file = createNewFile(path, privateFile, &openError);
  if (!file) {
    *error = "Cannot make " + path + ": " + errorText(openError) + ".";
    return false;
  }
  if (!write(file.get()) || std::fclose(file.release()) != 0) {
    *error = "Cannot write " + path + ".";
    return false;
  }
  return true;
}

}  // namespace

bool makeCertificateUnlessPresent(const std::string& certPath, const std::string& keyPath,
                                  const std::vector<std::string>& names, bool* made,
                                  std::string* error) {
  *made = false;
  const bool haveCert = exists(certPath), haveKey = exists(keyPath);
  if (haveCert && haveKey) return true;
  if (haveCert != haveKey) {
    *error = "Found " + (haveCert ? certPath : keyPath) + " without " +
             (haveCert ? keyPath : certPath) + "; remove it to have a new pair made.";
    return false;
  }
  KeyPtr key(EVP_RSA_gen(2048));
  X509Ptr cert = key ? selfSigned(key.get(), names) : nullptr;
  if (!cert) {
    *error = "Cannot make a certificate for the server.";
    return false;
  }
  const bool written =
      writeNew(
          keyPath, true,
          [&](std::FILE* f) {
            return PEM_write_PrivateKey(f, key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
          },
          error) &&
      writeNew(
          certPath, false, [&](std::FILE* f) { return PEM_write_X509(f, cert.get()) == 1; }, error);
  if (!written) {
    std::error_code ignored;
    std::filesystem::remove(keyPath, ignored);
    std::filesystem::remove(certPath, ignored);
    return false;
  }
  *made = true;
  return true;
}

bool checkCertificate(const std::string& certPath, const std::string& keyPath,
                      std::string* fingerprint, std::string* error) {
  X509Ptr cert;
  KeyPtr key;
  if (std::FILE* f = std::fopen(certPath.c_str(), "rb")) {
    cert.reset(PEM_read_X509(f, nullptr, noPassphrase, nullptr));
    std::fclose(f);
  }
  if (!cert) {
    *error = "Cannot read a PEM certificate from " + certPath + ".";
    return false;
  }
  if (std::FILE* f = std::fopen(keyPath.c_str(), "rb")) {
    key.reset(PEM_read_PrivateKey(f, nullptr, noPassphrase, nullptr));
    std::fclose(f);
  }
  if (!key) {
    *error = "Cannot read a PEM private key without a passphrase from " + keyPath + ".";
    return false;
  }
  if (X509_check_private_key(cert.get(), key.get()) != 1) {
    *error = "The key " + keyPath + " is not that of the certificate " + certPath + ".";
    return false;
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (X509_digest(cert.get(), EVP_sha256(), digest, &length) != 1) {
    *error = "Cannot take the fingerprint of " + certPath + ".";
    return false;
  }
  static const char kDigits[] = "0123456789ABCDEF";
  fingerprint->clear();
  for (unsigned int i = 0; i < length; ++i) {
    if (i) fingerprint->push_back(':');
    fingerprint->push_back(kDigits[digest[i] >> 4]);
    fingerprint->push_back(kDigits[digest[i] & 15]);
  }
  return true;
}

}  // namespace korva
