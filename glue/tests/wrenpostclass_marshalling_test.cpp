// What SENDIT hands to the library and what it leaves behind.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "FakeLibrary.h"
#include "RecordingHostServices.h"
#include "quillnet/wrenpostclass.h"

namespace quillnet {
namespace {

// Memory calls that count live blocks and fail on request, so failures of
// the copy operations can be provoked and leaks seen.
struct CountingMemory {
    static inline int allocations = 0;
    static inline std::set<HGLOBAL> live;
    static inline bool failAlloc = false, failLock = false, stayLocked = false;

    static void reset()
    {
        allocations = 0;
        live.clear();
        failAlloc = failLock = stayLocked = false;
    }
    static HGLOBAL alloc(size_t bytes)
    {
        ++allocations;
        if (failAlloc) return nullptr;
        HGLOBAL block = WRENPOSTCLASS::systemMemory.alloc(bytes);
        live.insert(block);
        return block;
    }
    static void* lock(HGLOBAL block) { return failLock ? nullptr : GlobalLock(block); }
    static bool unlock(HGLOBAL block)
    {
        if (stayLocked) GlobalLock(block);
        return GlobalUnlock(block) != 0;
    }
    static void release(HGLOBAL block)
    {
        live.erase(block);
        GlobalFree(block);
    }
    static constexpr WRENPOSTCLASS::MemoryCalls calls = {&alloc, &lock, &unlock, &release};
};

class GlueMarshalling : public ::testing::Test {
protected:
    void SetUp() override
    {
        CountingMemory::reset();
        fake().calls.clear();
        fake().progressSteps.clear();
        fake().result = RESULT_OK;
        mail.setLibraryEntry(&FakeLibrary::entry);
        mail.setMemoryCalls(CountingMemory::calls);
    }
    void TearDown() override
    {
        mail.KILL();
        EXPECT_TRUE(CountingMemory::live.empty()) << CountingMemory::live.size() << " blocks left";
    }
    static FakeLibrary& fake() { return FakeLibrary::onThisThread(); }

    RecordingHostServices host;
    WRENPOSTCLASS mail{host};
};

TEST_F(GlueMarshalling, FillsEveryJobFieldFromTheObject)
{
    mail.SETMAILHOST("mail.example.com:2525   ");
    mail.SETMAILER("mailer");
    mail.SETFROM("Ann", "ann@example.com");
    mail.SETRETURNPATH("bounce@example.com");
    mail.SETORGANIZATION("Org");
    mail.SETSUBJECT("Hello");
    mail.SETTONAME("Friends");
    mail.SETPRIORITY(1);
    mail.SETDEBUGFILE("/tmp/debug.log");
    mail.SERVERMODE = WRENPOST_SERVERMODE_NEWS;
    std::strcpy(mail.USERNAME, "user");
    std::strcpy(mail.USERPASSWORD, "secret");
    mail.OEMTOANSI = 1;
    mail.ADDTO("Bob", "bob@example.com");
    mail.SETMESSAGE("Body  ", PART_HTML);
    mail.MESSAGETEXT = "host text, not available";

    ASSERT_EQ(mail.SENDIT(), RESULT_OK);
    ASSERT_EQ(fake().calls.size(), 1u);
    const FakeLibraryCall& call = fake().calls[0];
    std::string texts;
    for (const std::string& text : call.texts) texts += text + "|";
    EXPECT_EQ(
        texts,
        "mail.example.com:2525|mailer|\"Ann\" <ann@example.com>|bounce@example.com|Org|Hello|Friends|user|"
        "secret|/tmp/debug.log|");
    // Texts are read in place from the object's buffers.
    EXPECT_EQ(field(call.job.SUBJECT), mail.SUBJECT);
    EXPECT_EQ(field(call.job.PRIORITY), 1);
    EXPECT_EQ(field(call.job.SERVERMODE), 2);
    EXPECT_EQ(field(call.job.OEMTOANSI), 1);
    EXPECT_EQ(field(call.job.MESSAGETYPE), PART_HTML);
    EXPECT_EQ(field(call.job.MESSAGETEXTHANDLE), mail.MESSAGETEXTHANDLE);
    EXPECT_EQ(std::string(call.messageBlock.data()), "Body");
    EXPECT_EQ(field(call.job.MESSAGETEXT), nullptr);
    EXPECT_EQ(field(call.job.WRENPOSTCALLBACK), nullptr);
    EXPECT_EQ(field(call.job.BYTESPROCESSED), &mail.BYTESPROCESSED);
    EXPECT_EQ(field(call.job.BYTESTOTAL), &mail.BYTESTOTAL);
    EXPECT_EQ(field(call.job.USERCANCEL), &mail.USERCANCEL);
    EXPECT_EQ(field(call.job.SERVERERRORMESSAGE), mail.SERVERERRORMESSAGE);
}

TEST_F(GlueMarshalling, ListsTravelAsRecordsInAddingOrder)
{
    mail.ADDTO("First", "one@example.com");
    mail.ADDTO("", "two@example.com");
    mail.ADDTO("Third  ", "three@example.com  ");
    WRENPOSTADDRESS cc{};
    std::strcpy(cc.EMAIL, "cc@example.com");
    mail.CCADR.push_back(cc);
    mail.ADDATTACHMENT("/tmp/a.pdf", PART_ATTACHMENT);
    mail.ADDATTACHMENT("/tmp/b.txt  ", PART_TEXT_FILE);

    ASSERT_EQ(mail.SENDIT(), RESULT_OK);
    const FakeLibraryCall& call = fake().calls.at(0);
    EXPECT_EQ(call.toBlockSize, 3 * sizeof(WRENPOSTADDRESS));
    std::string records;
    for (const auto& to : call.to) records += std::string(to.NAME) + "<" + to.EMAIL + "> ";
    for (const auto& cc : call.cc) records += std::string("cc:") + cc.EMAIL + " ";
    for (const auto& file : call.attachments)
        records += file.FILENAME + (":" + std::to_string(file.FILETYPE)) + " ";
    // Types 8 and 7: PART_ATTACHMENT and PART_TEXT_FILE.
    EXPECT_EQ(records,
              "First<one@example.com> <two@example.com> Third<three@example.com> cc:cc@example.com "
              "/tmp/a.pdf:8 /tmp/b.txt:7 ");
    EXPECT_EQ(field(call.job.BCCADR), nullptr) << "an empty list gives no block";
    // The blocks live only for the call (TearDown counts them); the lists stay for another send.
    EXPECT_EQ(CountingMemory::allocations, 3);
    ASSERT_EQ(mail.SENDIT(), RESULT_OK);
    ASSERT_EQ(fake().calls.size(), 2u);
    EXPECT_EQ(fake().calls[1].to.size(), 3u);
}

TEST_F(GlueMarshalling, NoRecipientGives15WithoutTheLibraryOrAnyBlock)
{
    WRENPOSTADDRESS cc{};
    std::strcpy(cc.EMAIL, "cc@example.com");
    mail.CCADR.push_back(cc);
    mail.ADDATTACHMENT("/tmp/a.pdf", PART_ATTACHMENT);
    mail.ADDTO("Nobody", "   ");
    EXPECT_EQ(mail.SENDIT(), RESULT_NO_RECIPIENTS);
    EXPECT_TRUE(fake().calls.empty());
    EXPECT_EQ(CountingMemory::allocations, 0);
}

TEST_F(GlueMarshalling, ResultsAboveOneThousandReadUnsignedAreSuccess)
{
    struct Case {
        int32_t library;
        int32_t expected;
    } cases[] = {{0, 0},     {9, 9},  {14, 14},       {1000, 1000},  {1001, 0},
                 {32001, 0}, {-1, 0}, {INT32_MIN, 0}, {INT32_MAX, 0}};
    mail.ADDTO("", "bob@example.com");
    for (const Case& c : cases) {
        fake().result = c.library;
        EXPECT_EQ(mail.SENDIT(), c.expected) << "library result " << c.library;
    }
}

TEST_F(GlueMarshalling, HostTextTravelsWhenAvailableAndCountersAreResetAfterTheSend)
{
    static const char body[] = "host text";
    mail.ADDTO("", "bob@example.com");
    mail.MESSAGETEXT = body;
    mail.MESSAGETEXTAVAIL = 1;
    fake().progressSteps = {{0, 4096}, {1024, 4096}};
    mail.setProgressHandler([](WRENPOSTCLASS& sending) { sending.USERCANCEL = sending.BYTESPROCESSED > 0; });
    EXPECT_EQ(mail.SENDIT(), RESULT_CANCELLED);
    EXPECT_EQ(field(fake().calls.at(0).job.MESSAGETEXT), body);
    EXPECT_EQ(mail.BYTESPROCESSED, 0);
    EXPECT_EQ(mail.BYTESTOTAL, 0);
    EXPECT_EQ(mail.USERCANCEL, 0);
}

TEST_F(GlueMarshalling, CopyFailuresAreShownAndTheListTravelsAsZero)
{
    struct Case {
        bool failAlloc, failLock, stayLocked;
        const char* message;
    } cases[] = {
        {true, false, false, "CopyQueueToMemory: GlobalAlloc failed!"},
        {false, true, false, "CopyQueueToMemory: GlobalLock failed!"},
        {false, false, true, "CopyQueueToMemory: GlobalUnlock failed!"},
    };
    mail.ADDTO("", "bob@example.com");
    mail.ADDATTACHMENT("/tmp/a.pdf", PART_ATTACHMENT);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        CountingMemory::reset();
        CountingMemory::failAlloc = c.failAlloc;
        CountingMemory::failLock = c.failLock;
        CountingMemory::stayLocked = c.stayLocked;
        size_t boxesBefore = host.boxes().size();
        fake().calls.clear();

        mail.SENDIT();
        ASSERT_EQ(fake().calls.size(), 1u);
        EXPECT_EQ(field(fake().calls[0].job.TOADR), nullptr);
        EXPECT_EQ(field(fake().calls[0].job.ATTACHMENTS), nullptr);
        auto boxes = host.boxes();
        ASSERT_EQ(boxes.size(), boxesBefore + 2) << "one box per list that failed";
        EXPECT_EQ(boxes.back().text, c.message);
        EXPECT_EQ(boxes.back().caption, "");
        EXPECT_EQ(boxes.back().icon, MessageIcon::None);
        EXPECT_EQ(boxes.back().buttons, MessageButtons::Ok);
        EXPECT_TRUE(CountingMemory::live.empty()) << "a failed copy keeps no block";

        // The message text copy reports the same way and leaves no block.
        mail.SETMESSAGE("text", PART_HTML);
        EXPECT_EQ(mail.MESSAGETEXTHANDLE, nullptr);
        EXPECT_EQ(mail.MESSAGETYPE, PART_TEXT) << "type kept when no block was made";
        EXPECT_EQ(host.boxes().back().text, c.message);
    }
}

}  // namespace
}  // namespace quillnet
