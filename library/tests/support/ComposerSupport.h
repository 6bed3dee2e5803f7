#pragma once

#include <gtest/gtest.h>

#include <string>

class CMailUtil;

namespace composer_test {

// A fresh folder under the system's temporary folder, removed with its files.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::string& Path() const { return m_path; }
    // Writes `content` to `name` inside the folder; returns the file's path.
    std::string WriteFile(const std::string& name, const std::string& content) const;

private:
    std::string m_path;
};

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

// Changes the current folder for one scope.
class ScopedCurrentFolder {
public:
    explicit ScopedCurrentFolder(const std::string& path);
    ~ScopedCurrentFolder();

private:
    std::string m_oldPath;
};

std::string ReadFile(const std::string& path);

// A message from tests/data/composer, stored with LF line ends, as CR LF text.
std::string Golden(const std::string& name);

// Runs WriteOutMessage into a temporary file and returns what it wrote;
// the writer's result goes to *pResult.
std::string Compose(CMailUtil& session, int* pResult = nullptr);

// The fixed process id, time and tick count that every composer test uses.
constexpr unsigned kFixedProcessId = 0x1234;
constexpr long long kFixedTime = 0x6575A3C0;  // Sun, 10 Dec 2023 11:40:48 UTC
constexpr unsigned kFixedTickCount = 0xABCD;

// Replaces the object addresses at the end of boundaries and Content-IDs by
// ADDR1, ADDR2, ... in order of first appearance, so equal ones stay equal.
std::string MaskAddresses(const std::string& message);

// Library-wide state, diagnostic stream, clock and content-type file reset to
// known values around each test; the diagnostic stream goes to a file the
// test can read.
class ComposerFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Makes diagnostic lines visible (g_bVerbose) and sends them to LogText().
    void EnableLog();
    std::string LogText() const;

    TempFolder m_folder;
    std::string m_logPath;
    std::string m_mimeTypesPath;

private:
    ScopedEnv m_charset{"MM_CHARSET", nullptr};
    ScopedEnv m_mimeTypes{"QUILLNET_MIME_TYPES", nullptr};
};

}  // namespace composer_test
