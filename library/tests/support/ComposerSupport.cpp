#include "support/ComposerSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "Diagnostics.h"
#include "Globals.h"
#include "MailUtil.h"
#include "platform/Platform.h"

namespace composer_test {

TempFolder::TempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "quillnet-composer-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) ADD_FAILURE() << "cannot make a temporary folder";
    m_path = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string TempFolder::WriteFile(const std::string& name, const std::string& content) const
{
    std::string path = m_path + "/" + name;
    std::ofstream file(path, std::ios::binary);
    file << content;
    return path;
}

ScopedEnv::ScopedEnv(const char* pszName, const char* pszValue) : m_name(pszName)
{
    const char* pszOld = std::getenv(pszName);
    m_bHadValue = pszOld != nullptr;
    if (pszOld) m_oldValue = pszOld;
    if (pszValue)
        ::setenv(pszName, pszValue, 1);
    else
        ::unsetenv(pszName);
}

ScopedEnv::~ScopedEnv()
{
    if (m_bHadValue)
        ::setenv(m_name.c_str(), m_oldValue.c_str(), 1);
    else
        ::unsetenv(m_name.c_str());
    ::tzset();  // a restored TZ takes effect for the tests that follow
}

ScopedCurrentFolder::ScopedCurrentFolder(const std::string& path)
    : m_oldPath(std::filesystem::current_path().string())
{
    std::filesystem::current_path(path);
}

ScopedCurrentFolder::~ScopedCurrentFolder()
{
    std::filesystem::current_path(m_oldPath);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

std::string Golden(const std::string& name)
{
    std::string text;
    for (char c : ReadFile(QUILLNET_TEST_DATA_DIR "/composer/" + name)) {
        if (c == '\n') text += '\r';
        text += c;
    }
    return text;
}

std::string Compose(CMailUtil& session, int* pResult)
{
    FILE* pFile = std::tmpfile();
    if (!pFile) {
        ADD_FAILURE() << "cannot make a temporary file";
        return "";
    }
    int result = session.WriteOutMessage(pFile);
    if (pResult) *pResult = result;
    std::string message;
    std::rewind(pFile);
    char buffer[4096];
    size_t nRead;
    while ((nRead = std::fread(buffer, 1, sizeof buffer, pFile)) > 0) message.append(buffer, nRead);
    std::fclose(pFile);
    return message;
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
    ResetLibraryStateForTesting();
    ResetDiagnosticStreamForTesting();
    g_bVerbose = 0;
    static const platform::FixedClock kClock{kFixedProcessId, static_cast<time_t>(kFixedTime),
                                             kFixedTickCount};
    platform::SetFixedClockForTesting(&kClock);
    // An empty registry by default, so results do not depend on the machine's mime.types.
    m_mimeTypesPath = m_folder.WriteFile("mime.types", "");
    ::setenv("QUILLNET_MIME_TYPES", m_mimeTypesPath.c_str(), 1);
    m_logPath = m_folder.Path() + "/debug.log";
}

void ComposerFixture::TearDown()
{
    platform::SetFixedClockForTesting(nullptr);
    ResetDiagnosticStreamForTesting();
    ResetLibraryStateForTesting();
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
