#include "support/ComposerSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>

#include "Diagnostics.h"
#include "Globals.h"
#include "MailUtil.h"
#include "platform/Platform.h"

namespace composer_test {

ScopedEnv::ScopedEnv(const char* pszName, const char* pszValue)
    : m_name(pszName), m_bHadValue(std::getenv(pszName) != nullptr)
{
    if (m_bHadValue) m_oldValue = std::getenv(pszName);
    pszValue ? ::setenv(pszName, pszValue, 1) : ::unsetenv(pszName);
}

ScopedEnv::~ScopedEnv()
{
    m_bHadValue ? ::setenv(m_name.c_str(), m_oldValue.c_str(), 1) : ::unsetenv(m_name.c_str());
    ::tzset();  // a restored TZ takes effect for the tests that follow
}

static std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string Golden(const std::string& name)
{
    return std::regex_replace(ReadFile(QUILLNET_TEST_DATA_DIR "/composer/" + name), std::regex("\n"), "\r\n");
}

std::string Compose(CMailUtil& session, int expectedResult)
{
    return Capture([&](FILE* pFile) { EXPECT_EQ(session.WriteOutMessage(pFile), expectedResult); });
}

std::string MaskAddresses(const std::string& message)
{
    static const std::regex kToken(
        R"((PART\.(?:CID|BOUNDARY\.MIXED|BOUNDARY\.RELATED)\.[0-9A-F]+\.[0-9A-F]+\.[0-9A-F]+\.)([0-9A-F]+))");
    std::map<std::string, int> numberOfAddress;
    std::string masked;
    auto last = message.cbegin();
    for (std::sregex_iterator it(message.begin(), message.end(), kToken), end; it != end; ++it) {
        const std::smatch& match = *it;
        masked.append(last, match[0].first);
        auto inserted = numberOfAddress.emplace(match[2].str(), static_cast<int>(numberOfAddress.size()) + 1);
        masked += match[1].str() + "ADDR" + std::to_string(inserted.first->second);
        last = match[0].second;
    }
    masked.append(last, message.cend());
    return masked;
}

void ComposerFixture::SetUp()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "quillnet-composer-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    m_folder = pattern;
    ResetLibraryStateForTesting();
    ResetDiagnosticStreamForTesting();
    g_bVerbose = 0;
    static const platform::FixedClock kClock{0x1234, static_cast<time_t>(0x6575A3C0), 0xABCD};
    platform::SetFixedClockForTesting(&kClock);
    m_mimeTypesPath = WriteFile("mime.types", "");
    ::setenv("QUILLNET_MIME_TYPES", m_mimeTypesPath.c_str(), 1);
    m_logPath = m_folder + "/debug.log";
    m_oldFolder = std::filesystem::current_path().string();
    std::filesystem::current_path(m_folder);
}

void ComposerFixture::TearDown()
{
    std::filesystem::current_path(m_oldFolder);
    platform::SetFixedClockForTesting(nullptr);
    ResetDiagnosticStreamForTesting();
    ResetLibraryStateForTesting();
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

std::string ComposerFixture::WriteFile(const std::string& name, const std::string& content) const
{
    std::ofstream(m_folder + "/" + name, std::ios::binary) << content;
    return m_folder + "/" + name;
}

void ComposerFixture::EnableLog()
{
    ASSERT_TRUE(OpenDebugFile(m_logPath.c_str()));
    g_bVerbose = 1;
}

std::string ComposerFixture::LogText() const
{
    return ReadFile(m_logPath);
}

}  // namespace composer_test
