#pragma once

#include <memory>
#include <string>

namespace velbrook::test_support {

// Which certificate a TLS test server presents.
enum class TlsIdentity {
  kTrusted,    // for 127.0.0.1 and localhost, signed by the test CA
  kOtherHost,  // for other.invalid only, signed by the test CA
  kExpired,    // for 127.0.0.1 and localhost, signed by the test CA, expired a day ago
  kUnknownCa,  // for 127.0.0.1 and localhost, signed by a second CA that no client trusts
};

// Keys and certificates made at run time with OpenSSL in a fresh temporary folder, which the object
// removes when it is destroyed. Every file is PEM.
class TestCertificates {
 public:
  // Generates everything; Ok() tells whether that worked.
  TestCertificates();
  ~TestCertificates();
  TestCertificates(const TestCertificates&) = delete;
  TestCertificates& operator=(const TestCertificates&) = delete;

  // One set per test program, made on first use and kept until the program ends. TLS servers use it
  // unless they are given another.
  static std::shared_ptr<const TestCertificates> Shared();

  bool Ok() const { return ok_; }
  const std::string& Directory() const { return directory_; }
  // The test CA, for the Internet layer's SetExtraCaFileForTesting.
  std::string CaPemPath() const;
  // The second CA, which signs kUnknownCa.
  std::string UnknownCaPemPath() const;
  std::string CertificatePath(TlsIdentity identity) const;
  std::string KeyPath(TlsIdentity identity) const;

 private:
  bool Generate();
  std::string directory_;
  bool ok_ = false;
};

}  // namespace velbrook::test_support
