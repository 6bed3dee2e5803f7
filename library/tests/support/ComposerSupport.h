#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "support/CaptureOutput.h"

class CMailUtil;

namespace composer_test {

// Sets (or with nullptr unsets) an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* pszName, const char* pszValue);
    ~ScopedEnv();

private:
    std::string m_name;
    bool m_bHadValue;
    std::string m_oldValue;
};

// A message from tests/data/composer (stored with LF line ends) as CR LF text.
std::string Golden(const std::string& name);

// WriteOutMessage's output, expecting it to return `expectedResult`.
std::string Compose(CMailUtil& session, int expectedResult = 0);

// Replaces the object addresses that end boundaries and Content-IDs by ADDR1,
// ADDR2, ... in order of first appearance, so equal ones stay equal.
std::string MaskAddresses(const std::string& message);

// Library state, diagnostic stream, clock (process 0x1234, time 0x6575A3C0 =
// Sun, 10 Dec 2023 11:40:48 UTC, ticks 0xABCD) and an empty content-type
// registry, reset around each test, which runs in m_folder.
class ComposerFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    void EnableLog();  // verbose, into LogText()
    std::string LogText() const;
    std::string WriteFile(const std::string& name, const std::string& content) const;  // returns the path

    std::string m_folder;  // a fresh temporary folder, removed with its files
    std::string m_logPath;
    std::string m_mimeTypesPath;

private:
    std::string m_oldFolder;
    ScopedEnv m_charset{"MM_CHARSET", nullptr};
    ScopedEnv m_mimeTypes{"QUILLNET_MIME_TYPES", nullptr};
};

}  // namespace composer_test
