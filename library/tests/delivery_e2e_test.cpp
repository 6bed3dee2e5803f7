// Whole deliveries through _Wrenpost to a real SMTP server (aiosmtpd), with
// what arrived parsed by Python's email package: texts decode to what was
// written, attachments and pictures to their bytes, every cid: resolves.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "Diagnostics.h"
#include "Globals.h"
#include "quillnet/wrenpost.h"
#include "support/SmtpCaptureServer.h"

namespace dialoguetest {
namespace {

// Line ends may travel as CR LF where the text had LF; the words may not change.
std::string WithLineFeeds(std::string text)
{
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
        text.erase(at, 1);
    return text;
}

std::string SomeBytes(size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(seed >> 16);
    }
    return bytes;
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

template <typename Record>
HGLOBAL BlockOf(const std::vector<Record>& records)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, records.size() * sizeof(Record));
    std::memcpy(GlobalLock(block), records.data(), records.size() * sizeof(Record));
    GlobalUnlock(block);
    return block;
}

WRENPOSTADDRESS Address(const char* name, const char* email)
{
    WRENPOSTADDRESS record{};
    std::snprintf(record.NAME, sizeof record.NAME, "%s", name);
    std::snprintf(record.EMAIL, sizeof record.EMAIL, "%s", email);
    return record;
}

WRENPOSTATTACHMENT Attachment(const std::string& path, int8_t kind = PART_ATTACHMENT)
{
    WRENPOSTATTACHMENT record{};
    std::snprintf(record.FILENAME, sizeof record.FILENAME, "%s", path.c_str());
    record.FILETYPE = kind;
    return record;
}

int32_t g_processed = 0, g_total = 0;
uint8_t g_cancel = 0;
int g_calls = 0;
void CancelAtSecondBlock()
{
    if (++g_calls == 3) g_cancel = 1;
}

class DeliveryEndToEnd : public testing::Test {
protected:
    void SetUp() override
    {
        ResetLibraryStateForTesting();
        m_folder = std::filesystem::temp_directory_path() / ("quillnet-e2e-" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder / "inbox");
        std::filesystem::create_directories(m_folder / "tmp");
        ::setenv("MAIL_TEMP", (m_folder / "tmp").c_str(), 1);
        m_server = std::make_unique<SmtpCaptureServer>((m_folder / "inbox").string());
        ASSERT_TRUE(m_server->Started()) << "aiosmtpd (python3-aiosmtpd) did not start";
        m_host = m_server->HostSetting();
    }
    void TearDown() override
    {
        m_server.reset();
        ResetDiagnosticStreamForTesting();
        ResetLibraryStateForTesting();
        ::unsetenv("MAIL_TEMP");
        std::filesystem::remove_all(m_folder);
    }

    // A job with the usual sender and two recipients; `adjust` adds the rest.
    int Send(const std::function<void(WRENPOSTDATA&)>& adjust,
             std::vector<WRENPOSTATTACHMENT> attachments = {})
    {
        WRENPOSTDATA job{};
        job.MAILHOST = m_host.c_str();
        job.FROM = "\"Ann Example\" <ann@example.com>";
        job.SUBJECT = "End to end";
        job.TOADR = BlockOf(std::vector<WRENPOSTADDRESS>{Address("Bob", "bob@example.org"),
                                                         Address("", "carol@example.net")});
        job.ATTACHMENTS = attachments.empty() ? nullptr : BlockOf(attachments);
        job.SERVERERRORMESSAGE = m_errorReply;
        adjust(job);
        int32_t result = _Wrenpost(&job);
        GlobalFree(job.TOADR);
        if (job.ATTACHMENTS) GlobalFree(job.ATTACHMENTS);
        return result;
    }

    std::string Path(const std::string& name) const { return (m_folder / name).string(); }
    ParsedMessage OnlyMessage()
    {
        std::vector<std::string> messages = m_server->Messages();
        EXPECT_EQ(messages.size(), 1u);
        if (messages.empty()) return {};
        m_delivered = ReadWholeFile(messages[0]);
        m_envelope = ReadWholeFile(messages[0].substr(0, messages[0].size() - 4) + ".envelope");
        return ParseDeliveredMessage(messages[0], m_folder.string());
    }
    bool TempFolderIsEmpty() const { return std::filesystem::is_empty(m_folder / "tmp"); }

    std::filesystem::path m_folder;
    std::unique_ptr<SmtpCaptureServer> m_server;
    std::string m_host;
    char m_errorReply[500] = "";
    std::string m_delivered;
    std::string m_envelope;
};

TEST_F(DeliveryEndToEnd, TextMailArrivesWordForWordWithItsDotLines)
{
    const std::string text =
        "Hello Bob,\n"
        ".this line begins with a dot\n"
        ".\n"
        "..and this one with two\r\n"
        "Caf\xe9 au lait costs 3 \xa4 = a very long line that goes on and on past the seventy-six columns "
        "that quoted-printable allows, so it must be broken softly.\n" +
        std::string(72, 'x') + "\r\n"  // ends exactly where a soft break would fall
        "Bye.\n";
    int result = Send([&text](WRENPOSTDATA& job) {
        job.MESSAGETEXT = text.c_str();
        job.MESSAGETYPE = PART_TEXT;
    });
    ASSERT_EQ(result, 0) << m_errorReply;
    ParsedMessage message = OnlyMessage();
    EXPECT_EQ(message.defects, 0);
    ASSERT_EQ(message.parts.size(), 1u);
    EXPECT_EQ(message.parts[0].contentType, "text/plain");
    EXPECT_EQ(WithLineFeeds(message.parts[0].body), WithLineFeeds(text));
    EXPECT_NE(m_delivered.find("Content-Transfer-Encoding: quoted-printable"), std::string::npos);
    EXPECT_EQ(m_envelope, "ann@example.com\nbob@example.org\ncarol@example.net\n");
    EXPECT_TRUE(TempFolderIsEmpty());
}

TEST_F(DeliveryEndToEnd, HtmlMailCarriesEachPictureOnceAndEveryReferenceResolves)
{
    // References starting with "/" count as web paths, so the page names
    // its pictures relative to the current folder, as hosts do.
    const std::string logo = SomeBytes(5000, 1), photo = SomeBytes(70000, 2);
    WriteFile(Path("logo.gif"), logo);
    WriteFile(Path("photo.png"), photo);
    WriteFile(Path("page.html"),
              "<html><body>\n<p>Our logo: <img src=\"logo.gif\"></p>\n.<p>A photo: <IMG SRC=\"photo.png\" "
              "alt=\"photo\"></p>\n<p>Logo again: <img src=\"logo.gif\"></p>\n</body></html>\n");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(m_folder);
    int result = Send([](WRENPOSTDATA& job) {
        job.MESSAGETEXT = "page.html";
        job.MESSAGETYPE = PART_HTML_FILE;
    });
    std::filesystem::current_path(previous);
    ASSERT_EQ(result, 0) << m_errorReply;
    ParsedMessage message = OnlyMessage();
    EXPECT_EQ(message.defects, 0);
    EXPECT_EQ(message.resolvedReferences, 3);
    EXPECT_TRUE(message.missingReferences.empty());
    std::vector<std::string> pictures;
    for (const ParsedPart& part : message.parts)
        if (part.contentId != "-") pictures.push_back(part.body);
    ASSERT_EQ(pictures.size(), 2u) << "one related part per distinct file";
    EXPECT_TRUE((pictures[0] == logo && pictures[1] == photo) ||
                (pictures[0] == photo && pictures[1] == logo));
    EXPECT_NE(m_delivered.find("multipart/related"), std::string::npos);
}

TEST_F(DeliveryEndToEnd, BinaryAttachmentDecodesToItsBytes)
{
    std::string bytes = SomeBytes(300000, 3);
    for (int value = 0; value < 256; ++value) bytes[static_cast<size_t>(value)] = static_cast<char>(value);
    WriteFile(Path("data.bin"), bytes);
    int result = Send(
        [](WRENPOSTDATA& job) {
            job.MESSAGETEXT = "See the attachment.\r\n";
            job.MESSAGETYPE = PART_TEXT;
        },
        {Attachment(Path("data.bin"))});
    ASSERT_EQ(result, 0) << m_errorReply;
    ParsedMessage message = OnlyMessage();
    EXPECT_EQ(message.defects, 0);
    ASSERT_EQ(message.parts.size(), 2u);
    EXPECT_EQ(message.parts[1].fileName, "data.bin");
    EXPECT_TRUE(message.parts[1].body == bytes) << "attachment bytes differ";
}

// What must not arrive: a cancelled mail, and a mail whose attachment is gone.
TEST_F(DeliveryEndToEnd, CancelledOrIncompleteMailIsNotDelivered)
{
    WriteFile(Path("big.bin"), SomeBytes(200000, 4));
    g_calls = 0;
    g_cancel = 0;
    int cancelled = Send(
        [](WRENPOSTDATA& job) {
            job.MESSAGETEXT = "This mail is cancelled on its way.\r\n";
            job.MESSAGETYPE = PART_TEXT;
            job.WRENPOSTCALLBACK = &CancelAtSecondBlock;
            job.BYTESPROCESSED = &g_processed;
            job.BYTESTOTAL = &g_total;
            job.USERCANCEL = &g_cancel;
        },
        {Attachment(Path("big.bin"))});
    EXPECT_EQ(cancelled, RESULT_CANCELLED);
    EXPECT_EQ(g_calls, 3);

    int incomplete = Send(
        [](WRENPOSTDATA& job) {
            job.MESSAGETEXT = "The attachment of this mail is missing.\r\n";
            job.MESSAGETYPE = PART_TEXT;
        },
        {Attachment(Path("big.bin")), Attachment(Path("missing.bin"))});
    EXPECT_EQ(incomplete, RESULT_TEMP_FILE);

    // A server that had the whole of either would have filed it by now.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(m_server->Messages().empty());
    EXPECT_TRUE(TempFolderIsEmpty());
}

}  // namespace
}  // namespace dialoguetest
