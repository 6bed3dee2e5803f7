// Every system call that can fail, failed at each place the library makes
// it, one at a time, in one whole job: the result code and the line each
// failure gives, and that none leaves a temporary file or a descriptor behind
// or delivers a message that was not composed whole.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "Diagnostics.h"
#include "Globals.h"
#include "quillnet/wrenpost.h"
#include "support/DialogueFixture.h"
#include "support/FailingNew.h"
#include "support/FaultyCalls.h"
#include "support/ScriptedServer.h"

namespace {

using faults::Call;

enum class Delivery { kNone, kWhole, kUnknown };

struct Expectation {
    Call call;
    const char* subject;  // part of what the call touched; "" for any
    int result;
    const char* line;  // the failure's diagnostic line (its start); null for none
    Delivery delivery;
};

// The first row that fits a call is what failing it must give.
const Expectation kExpectations[] = {
    {Call::kStartSocketLayer, "", RESULT_WINSOCK_START, nullptr, Delivery::kNone},
    {Call::kSocket, "", RESULT_NO_SOCKET, nullptr, Delivery::kNone},
    {Call::kConnect, "", RESULT_CONNECT_FAILED, "Failed to connect to server '127.0.0.1' port ",
     Delivery::kNone},
    {Call::kLocalHostName, "", RESULT_NO_LOCAL_HOST,
     "CSMTPEmail::_SendIt() - gethostname() failed. Winsock error code is ", Delivery::kNone},
    {Call::kAllocate, "", RESULT_OUT_OF_MEMORY, "CSMTPEmail::Ack: Out of Memory!\n", Delivery::kNone},
    // Once the message is accepted, the goodbye cannot undo it.
    {Call::kSend, "QUIT", RESULT_OK, "Post: Failed to Send!\n", Delivery::kWhole},
    {Call::kSend, "", RESULT_SEND_FAILED, "Post: Failed to Send!\n", Delivery::kUnknown},
    {Call::kReceive, "QUIT", RESULT_OK, nullptr, Delivery::kWhole},
    {Call::kReceive, "", RESULT_RECEIVE_FAILED, nullptr, Delivery::kUnknown},
    {Call::kOpenFile, "job.log", RESULT_SETUP_FAILED, nullptr, Delivery::kNone},
    {Call::kFileIsReadable, "addresses", RESULT_SETUP_FAILED, "Failed to open address file '@",
     Delivery::kNone},
    {Call::kOpenFile, "addresses", RESULT_SETUP_FAILED, "Failed to open address file '@", Delivery::kNone},
    {Call::kReadFile, "addresses", RESULT_SETUP_FAILED, "Failed to read address file '@", Delivery::kNone},
    {Call::kFileIsReadable, "report.bin", RESULT_TEMP_FILE, "Unable to open include file '", Delivery::kNone},
    {Call::kOpenFile, "report.bin", RESULT_TEMP_FILE, "Unable to open include file '", Delivery::kNone},
    {Call::kReadFile, "report.bin", RESULT_TEMP_FILE, "Unable to read include file '", Delivery::kNone},
    {Call::kReadFile, "~mail", RESULT_TEMP_FILE, nullptr, Delivery::kNone},
    {Call::kWriteFile, "~mail", RESULT_TEMP_FILE,
     "CMailUtil::WriteOutMessage() - Fatal error - processing aborted.\n", Delivery::kNone},
    {Call::kFlushFile, "~mail", RESULT_TEMP_FILE,
     "CMailUtil::WriteOutMessage() - Fatal error - processing aborted.\n", Delivery::kNone},
    {Call::kCreateTempFile, "", RESULT_TEMP_FILE, "Unable to open tmp file '", Delivery::kNone},
    {Call::kDeleteTempFile, "", RESULT_OK, "Unable to delete tmp file '", Delivery::kWhole},
};

// The starts of every failure line the library writes.
const char* const kFailureWords[] = {"Aborting",    "Failed",     "Out of Memory",
                                     "Fatal error", "SMTP Error", "Unable"};

const Expectation* ExpectationFor(Call call, const std::string& subject)
{
    for (const Expectation& row : kExpectations) {
        if (row.call == call && subject.find(row.subject) != std::string::npos) return &row;
    }
    return nullptr;
}

size_t OpenDescriptors()
{
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                             std::filesystem::directory_iterator()));
}

std::string FileText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

class FaultInjection : public dialoguetest::DialogueTest {
protected:
    struct Outcome {
        int result;
        std::string wire;
        std::string log;
        long allocations = 0;  // by `new` during the call, when counted
        bool newFailed = false;
    };

    void SetUp() override
    {
        DialogueTest::SetUp();
        m_addresses = WorkFolder() + "/addresses.txt";
        m_attachment = WorkFolder() + "/report.bin";
        m_jobLog = WorkFolder() + "/job.log";
        std::ofstream(m_addresses) << "bob@example.org\r\n";
        std::ofstream(m_attachment, std::ios::binary) << std::string(3000, '\x7f');
    }

    // One whole job through the entry point: an address file, a text and an
    // attachment, against a server that accepts everything. With
    // `nFailingNew` >= 0, allocations by `new` inside the call are counted and
    // that one (from 1) fails. With `bHtml` the text is HTML that shows the
    // attachment as a related part too.
    Outcome RunJob(long nFailingNew = -1, bool bHtml = false)
    {
        g_szLocalHost[0] = '\0';  // fetched anew
        std::free(g_pszReply);    // allocated anew
        g_pszReply = nullptr;
        std::filesystem::remove(m_jobLog);

        dialoguetest::ScriptedServer server(
            dialoguetest::SmtpUpToData(1) +
            dialoguetest::Script{dialoguetest::ReadData(), dialoguetest::Reply("250 queued\r\n"),
                                 dialoguetest::ReadLine(), dialoguetest::Reply("221 bye\r\n")});
        const std::string host = server.HostSetting();
        const std::string to = "@" + m_addresses;
        WRENPOSTADDRESS recipient{};
        std::snprintf(recipient.EMAIL, sizeof recipient.EMAIL, "%s", to.c_str());
        WRENPOSTATTACHMENT attachment{};
        std::snprintf(attachment.FILENAME, sizeof attachment.FILENAME, "%s", m_attachment.c_str());
        attachment.FILETYPE = PART_ATTACHMENT;

        WRENPOSTDATA job;
        std::memset(&job, 0, sizeof job);
        char errorReply[500] = "";
        job.MAILHOST = host.c_str();
        job.FROM = "ann@example.com";
        job.SUBJECT = "Faults";
        // Related parts come only from relative references.
        const std::string html =
            "<p>Hello Bob.</p><img src=\"" + std::filesystem::relative(m_attachment).string() + "\">\r\n";
        job.MESSAGETEXT = bHtml ? html.c_str() : "Hello Bob.\r\n";
        job.MESSAGETYPE = bHtml ? PART_HTML : PART_TEXT;
        job.TOADR = Block(&recipient, sizeof recipient);
        job.ATTACHMENTS = Block(&attachment, sizeof attachment);
        job.DEBUGFILE = m_jobLog.c_str();
        job.SERVERERRORMESSAGE = errorReply;

        Outcome outcome;
        {
            std::optional<faults::FailingNew> failingNew;
            if (nFailingNew >= 0) failingNew.emplace(nFailingNew);
            outcome.result = _Wrenpost(&job);
            if (failingNew) {
                outcome.allocations = failingNew->Count();
                outcome.newFailed = failingNew->HasFailed();
            }
        }
        GlobalFree(job.TOADR);
        GlobalFree(job.ATTACHMENTS);
        outcome.wire = server.Received();
        outcome.log = FileText(m_jobLog);
        return outcome;
    }

    static HGLOBAL Block(const void* pRecord, size_t nSize)
    {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, nSize);
        std::memcpy(GlobalLock(block), pRecord, nSize);
        GlobalUnlock(block);
        return block;
    }

    std::string m_addresses, m_attachment, m_jobLog;
};

TEST_F(FaultInjection, EveryFailingCallGivesItsResultAndLeavesNothingBehind)
{
    // Every call, with what it touched, from a job where nothing fails.
    struct Site {
        Call call;
        int nth;
        std::string subject;
    };
    std::vector<Site> sites;
    {
        faults::FaultyCalls census;
        ASSERT_EQ(RunJob().result, RESULT_OK);
        for (int nCall = 0; nCall < static_cast<int>(Call::kCount); ++nCall) {
            const Call call = static_cast<Call>(nCall);
            EXPECT_GT(census.Count(call), 0) << faults::NameOf(call) << " is never made";
            for (int nth = 1; nth <= census.Count(call); ++nth)
                sites.push_back({call, nth, census.Subject(call, nth)});
        }
    }

    EXPECT_GT(sites.size(), 40u);
    for (const auto& [call, nth, subject] : sites) {
        {
            const std::string name =
                std::string(faults::NameOf(call)) + " #" + std::to_string(nth) + " (" + subject + ")";
            const Expectation* pExpected = ExpectationFor(call, subject);
            if (!pExpected) {
                ADD_FAILURE() << "no expectation for " << name;
                continue;
            }
            const size_t nDescriptors = OpenDescriptors();
            Outcome outcome;
            {
                faults::FaultyCalls calls;
                // Creating the temporary file is tried in folder after folder.
                calls.Fail(call, nth, call == Call::kCreateTempFile);
                outcome = RunJob();
            }
            EXPECT_EQ(outcome.result, pExpected->result) << name;
            if (pExpected->line) {
                EXPECT_NE(outcome.log.find(pExpected->line), std::string::npos) << name << "\n"
                                                                                << outcome.log;
            } else {
                for (const char* word : kFailureWords)
                    EXPECT_EQ(outcome.log.find(word), std::string::npos) << name << "\n" << outcome.log;
            }
            const bool bEnded = outcome.wire.find("\r\n.\r\n") != std::string::npos;
            if (pExpected->delivery != Delivery::kUnknown) {
                EXPECT_EQ(bEnded, pExpected->delivery == Delivery::kWhole) << name;
            }
            // A delete that fails leaves the file, and says so.
            if (call == Call::kDeleteTempFile) {
                EXPECT_FALSE(TempFolderIsEmpty()) << name;
                for (const auto& entry : std::filesystem::directory_iterator(TempFolder()))
                    std::filesystem::remove(entry.path());
            }
            EXPECT_TRUE(TempFolderIsEmpty()) << name;
            EXPECT_EQ(OpenDescriptors(), nDescriptors) << name;
        }
    }
}

TEST_F(FaultInjection, EveryFailingNewInsideTheCallGivesOutOfMemoryAndLeavesNothingBehind)
{
    for (bool bHtml : {false, true}) {
        // The first job loads what the process keeps (the registered content
        // types); counted from the second, every row makes the same allocations.
        ASSERT_EQ(RunJob(-1, bHtml).result, RESULT_OK);
        const Outcome census = RunJob(0, bHtml);
        ASSERT_EQ(census.result, RESULT_OK);
        if (bHtml) {
            ASSERT_NE(census.wire.find("cid:"), std::string::npos) << "no related part";
        }
        ASSERT_GT(census.allocations, 20);

        for (long nth = 1; nth <= census.allocations; ++nth) {
            const std::string name = std::string(bHtml ? "html" : "text") + " job, new #" +
                                     std::to_string(nth) + " of " + std::to_string(census.allocations);
            const size_t nDescriptors = OpenDescriptors();
            const Outcome outcome = RunJob(nth, bHtml);
            ASSERT_TRUE(outcome.newFailed)
                << name << " result " << outcome.result << " after " << outcome.allocations << "\n"
                << outcome.log;
            const bool bEnded = outcome.wire.find("\r\n.\r\n") != std::string::npos;
            // Once the goodbye is on its way the message was accepted, and a
            // failure then must not invite the user to send it twice.
            const bool bAccepted = outcome.wire.find("\r\nQUIT\r\n") != std::string::npos;
            if (outcome.result == RESULT_OK) {
                EXPECT_TRUE(bEnded) << name << " reported success for a message never sent whole";
            } else if (bAccepted) {
                ADD_FAILURE() << name << " reported " << outcome.result << " for an accepted message";
            } else {
                EXPECT_EQ(outcome.result, RESULT_OUT_OF_MEMORY) << name << "\n" << outcome.log;
            }
            if (outcome.log.find("WriteOutMessage() -") != std::string::npos) {
                EXPECT_FALSE(bEnded) << name << " delivered a message it could not compose";
            }
            EXPECT_TRUE(TempFolderIsEmpty()) << name;
            EXPECT_EQ(OpenDescriptors(), nDescriptors) << name;
            if (HasFailure()) return;  // one broken row says enough; the rest would repeat it
        }
    }
}

}  // namespace
