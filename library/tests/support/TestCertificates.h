#pragma once

#include <string>

// A test CA and server certificates signed by it, made once per test run
// with the openssl command in a temporary folder: one for localhost (and
// 127.0.0.1), one for localhost that expired long ago, one for another name.
// Each certificate file holds the certificate; its key is beside it (.key).
namespace dialoguetest {

struct TestCertificates {
    std::string folder;
    std::string caFile;     // the CA certificate
    std::string localhost;  // valid for localhost and 127.0.0.1
    std::string expired;    // localhost, no longer valid
    std::string otherName;  // valid, but for other.example
    bool ok = false;

    static std::string KeyOf(const std::string& certificate) { return certificate + ".key"; }
};

// The certificates of this run (made on first use; `ok` false when openssl failed).
const TestCertificates& Certificates();

}  // namespace dialoguetest
