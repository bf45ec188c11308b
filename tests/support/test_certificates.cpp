#include "tests/support/test_certificates.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>

namespace velbrook::test_support {
namespace {

struct KeyDeleter {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateDeleter {
  void operator()(X509* certificate) const { X509_free(certificate); }
};
struct ExtensionDeleter {
  void operator()(X509_EXTENSION* extension) const { X509_EXTENSION_free(extension); }
};
struct FileDeleter {
  void operator()(std::FILE* file) const { (void)std::fclose(file); }  // written files are flushed below
};
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyDeleter>;
using CertificatePtr = std::unique_ptr<X509, CertificateDeleter>;

constexpr long kSecondsPerDay = 24 * 60 * 60;
constexpr long kValidDays = 30;

const char* FileStem(TlsIdentity identity) {
  switch (identity) {
    case TlsIdentity::kTrusted:
      return "trusted";
    case TlsIdentity::kOtherHost:
      return "other_host";
    case TlsIdentity::kExpired:
      return "expired";
    case TlsIdentity::kUnknownCa:
      return "unknown_ca_server";
  }
  return "unknown";
}

KeyPtr MakeKey() { return KeyPtr(EVP_EC_gen("P-256")); }

bool AddExtension(X509* certificate, X509* issuer, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  std::unique_ptr<X509_EXTENSION, ExtensionDeleter> extension(
      X509V3_EXT_conf_nid(nullptr, &context, nid, value));
  return extension && X509_add_ext(certificate, extension.get(), -1) == 1;
}

struct CertificateRequest {
  const char* commonName;
  const char* subjectAltName;  // nullptr for a CA
  long notBeforeSeconds;       // relative to now
  long notAfterSeconds;
  long serial;
};

// A certificate for `key` signed by `issuerKey`; a self-signed CA when `issuer` is null.
CertificatePtr MakeCertificate(const CertificateRequest& request, EVP_PKEY* key, X509* issuer,
                               EVP_PKEY* issuerKey) {
  CertificatePtr certificate(X509_new());
  if (!certificate || X509_set_version(certificate.get(), 2) != 1 ||
      ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), request.serial) != 1 ||
      !X509_gmtime_adj(X509_getm_notBefore(certificate.get()), request.notBeforeSeconds) ||
      !X509_gmtime_adj(X509_getm_notAfter(certificate.get()), request.notAfterSeconds) ||
      X509_set_pubkey(certificate.get(), key) != 1) {
    return nullptr;
  }
  X509_NAME* name = X509_get_subject_name(certificate.get());
  if (X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                 reinterpret_cast<const unsigned char*>(request.commonName), -1, -1,
                                 0) != 1) {
    return nullptr;
  }
  X509* signer = issuer ? issuer : certificate.get();
  if (X509_set_issuer_name(certificate.get(), X509_get_subject_name(signer)) != 1) {
    return nullptr;
  }
  const bool isCa = request.subjectAltName == nullptr;
  const bool extensionsOk =
      isCa ? AddExtension(certificate.get(), signer, NID_basic_constraints, "critical,CA:TRUE") &&
                 AddExtension(certificate.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign") &&
                 AddExtension(certificate.get(), signer, NID_subject_key_identifier, "hash")
           : AddExtension(certificate.get(), signer, NID_basic_constraints, "CA:FALSE") &&
                 AddExtension(certificate.get(), signer, NID_subject_alt_name, request.subjectAltName) &&
                 AddExtension(certificate.get(), signer, NID_ext_key_usage, "serverAuth") &&
                 AddExtension(certificate.get(), signer, NID_authority_key_identifier, "keyid");
  if (!extensionsOk || X509_sign(certificate.get(), issuerKey, EVP_sha256()) == 0) {
    return nullptr;
  }
  return certificate;
}

bool WritePem(const std::string& path, X509* certificate, EVP_PKEY* key) {
  std::unique_ptr<std::FILE, FileDeleter> file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    return false;
  }
  const bool written =
      certificate ? PEM_write_X509(file.get(), certificate) == 1
                  : PEM_write_PrivateKey(file.get(), key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
  return written && std::fflush(file.get()) == 0;
}

}  // namespace

TestCertificates::TestCertificates() { ok_ = Generate(); }

TestCertificates::~TestCertificates() {
  if (!directory_.empty()) {
    std::error_code error;
    std::filesystem::remove_all(directory_, error);  // a left-over temp folder harms nothing
  }
}

std::shared_ptr<const TestCertificates> TestCertificates::Shared() {
  static std::mutex mutex;
  static std::shared_ptr<const TestCertificates> shared;
  const std::lock_guard<std::mutex> lock(mutex);
  if (!shared) {
    shared = std::make_shared<const TestCertificates>();
  }
  return shared;
}

std::string TestCertificates::CaPemPath() const { return directory_ + "/ca.pem"; }
std::string TestCertificates::UnknownCaPemPath() const { return directory_ + "/unknown_ca.pem"; }
std::string TestCertificates::CertificatePath(TlsIdentity identity) const {
  return directory_ + "/" + FileStem(identity) + ".pem";
}
std::string TestCertificates::KeyPath(TlsIdentity identity) const {
  return directory_ + "/" + FileStem(identity) + ".key";
}

bool TestCertificates::Generate() {
  std::error_code error;
  const std::filesystem::path base = std::filesystem::temp_directory_path(error);
  if (error) {
    return false;
  }
  std::string pattern = (base / "velbrook-certs-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    return false;
  }
  directory_ = pattern;

  constexpr const char* kLocalNames = "IP:127.0.0.1,DNS:localhost";
  constexpr long kValid = kValidDays * kSecondsPerDay;
  KeyPtr caKey = MakeKey();
  KeyPtr unknownCaKey = MakeKey();
  if (!caKey || !unknownCaKey) {
    return false;
  }
  CertificatePtr ca = MakeCertificate({"Velbrook Test CA", nullptr, -kSecondsPerDay, kValid, 1}, caKey.get(),
                                      nullptr, caKey.get());
  CertificatePtr unknownCa = MakeCertificate({"Velbrook Unknown CA", nullptr, -kSecondsPerDay, kValid, 2},
                                             unknownCaKey.get(), nullptr, unknownCaKey.get());
  if (!ca || !unknownCa || !WritePem(CaPemPath(), ca.get(), nullptr) ||
      !WritePem(UnknownCaPemPath(), unknownCa.get(), nullptr)) {
    return false;
  }

  struct Leaf {
    TlsIdentity identity;
    CertificateRequest request;
    X509* issuer;
    EVP_PKEY* issuerKey;
  };
  const Leaf leaves[] = {
      {TlsIdentity::kTrusted, {"127.0.0.1", kLocalNames, -kSecondsPerDay, kValid, 10}, ca.get(), caKey.get()},
      {TlsIdentity::kOtherHost,
       {"other.invalid", "DNS:other.invalid", -kSecondsPerDay, kValid, 11},
       ca.get(),
       caKey.get()},
      {TlsIdentity::kExpired,
       {"127.0.0.1", kLocalNames, -kValidDays * kSecondsPerDay, -kSecondsPerDay, 12},
       ca.get(),
       caKey.get()},
      {TlsIdentity::kUnknownCa,
       {"127.0.0.1", kLocalNames, -kSecondsPerDay, kValid, 13},
       unknownCa.get(),
       unknownCaKey.get()},
  };
  for (const Leaf& leaf : leaves) {
    KeyPtr key = MakeKey();
    if (!key) {
      return false;
    }
    CertificatePtr certificate = MakeCertificate(leaf.request, key.get(), leaf.issuer, leaf.issuerKey);
    if (!certificate || !WritePem(CertificatePath(leaf.identity), certificate.get(), nullptr) ||
        !WritePem(KeyPath(leaf.identity), nullptr, key.get())) {
      return false;
    }
  }
  return true;
}

}  // namespace velbrook::test_support
