// The progress figures and how the library's argument-less progress procedure
// reaches the object that is sending on its thread.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "FakeLibrary.h"
#include "RecordingHostServices.h"
#include "quillnet/progressfigures.h"
#include "quillnet/wrenpostclass.h"

namespace quillnet {
namespace {

// "percent% processed/total clock expected remaining"
std::string shown(const ProgressFigures& figures)
{
    const ProgressSnapshot& f = figures.figures();
    return std::to_string(f.MAILPROGRESS) + "% " + std::to_string(f.MAILPROCESSED) + "/" +
           std::to_string(f.MAILTOTAL) + " " + std::to_string(f.MAILCLOCK) + " " +
           std::to_string(f.MAILEXPECTED) + " " + std::to_string(f.MAILREMAINING);
}

TEST(GlueProgressFigures, UpdateComputesPercentAndEstimates)
{
    struct Case {
        int32_t processed, total;
        int64_t elapsed;
        const char* figures;
    } cases[] = {
        {512, 2048, 1000, "25% 512/2048 1000 4000 3000"},
        {0, 2048, 0, "0% 0/2048 0 0 0"},    // the first call: nothing to estimate yet
        {1, 300, 500, "0% 1/300 500 0 0"},  // a third of one percent is still 0
        {3, 300, 500, "1% 3/300 500 50000 49500"},
        {2048, 2048, 777, "100% 2048/2048 777 777 0"},
        {100, 0, 10, "0% 100/0 10 0 0"},                   // no total: no fault, no estimate
        {2047, 2048, 1000, "99% 2047/2048 1000 1010 10"},  // 1010.1 drops its fraction
        {5000, 2048, 10, "100% 5000/2048 10 10 0"},        // more than announced shows as complete
        // Counters past 2 GiB arrive negative and are read as unsigned.
        {static_cast<int32_t>(3000000000u), static_cast<int32_t>(4000000000u), 300,
         "75% 3000000000/4000000000 300 400 100"},
        {INT32_MAX, -1, 100, "49% 2147483647/4294967295 100 204 104"},
    };
    for (const Case& c : cases) {
        ProgressFigures figures;
        figures.start(123456);
        figures.update(c.processed, c.total, 123456 + c.elapsed);
        EXPECT_EQ(shown(figures), c.figures);
    }
}

TEST(GlueProgressFigures, StartClearsAndFinishShowsTheSendComplete)
{
    ProgressFigures figures;
    figures.start(1000);
    figures.update(1024, 4096, 1200);
    figures.finish(1000);  // a send of 0 hundredths
    EXPECT_EQ(shown(figures), "100% 4096/4096 0 0 0");
    figures.finish(1750);
    EXPECT_EQ(shown(figures), "100% 4096/4096 750 750 0");
    figures.start(5000);
    EXPECT_EQ(shown(figures), "0% 0/0 0 0 0");
}

TEST(GlueProgressFigures, DurationsReadAsHoursMinutesSeconds)
{
    struct Case {
        int64_t hundredths;
        const char* text;
    } cases[] = {{0, "0:00:00"},      {99, "0:00:00"},     {100, "0:00:01"},  {4000, "0:00:40"},
                 {360000, "1:00:00"}, {366199, "1:01:01"}, {-500, "0:00:00"}, {36000000, "100:00:00"}};
    for (const Case& c : cases) EXPECT_EQ(ProgressFigures::formatDuration(c.hundredths), c.text);
}

struct Seen {
    WRENPOSTCLASS* object;
    int32_t processed, total;
};
thread_local std::vector<Seen> tSeen;

// A procedure in the library's own shape, as a host hands to SETCALLBACK.
void plainProcedure()
{
    WRENPOSTCLASS* sending = WRENPOSTCLASS::sendingOnThisThread();
    tSeen.push_back({sending, sending ? sending->BYTESPROCESSED : -1, sending ? sending->BYTESTOTAL : -1});
}

TEST(GlueProgressDispatch, TwoObjectsOnTwoThreadsEachSeeTheirOwnSend)
{
    // Both sends wait at their first two progress calls until the other one
    // is there too, so the two really are in flight at the same time.
    std::atomic<int> arrived{0};
    auto send = [&](int32_t total) {
        FakeLibrary& fake = FakeLibrary::onThisThread();
        fake.progressSteps.clear();
        for (int32_t done = 0; done <= total; done += 1024) fake.progressSteps.push_back({done, total});
        RecordingHostServices host;
        WRENPOSTCLASS mail(host);
        mail.setLibraryEntry(&FakeLibrary::entry);
        mail.ADDTO("", "bob@example.com");
        mail.SETCALLBACK(&plainProcedure);
        int handled = 0;
        mail.setProgressHandler([&](WRENPOSTCLASS& sending) {
            EXPECT_EQ(&sending, &mail);
            EXPECT_EQ(sending.BYTESPROCESSED, handled++ * 1024);
            if (sending.BYTESPROCESSED > 1024) return;
            const int together = ++arrived > 2 ? 4 : 2;
            while (arrived.load() < together) std::this_thread::yield();
        });
        EXPECT_EQ(mail.SENDIT(), RESULT_OK);
        EXPECT_EQ(WRENPOSTCLASS::sendingOnThisThread(), nullptr) << "cleared once SENDIT returned";
        ASSERT_EQ(tSeen.size(), fake.progressSteps.size());
        for (size_t i = 0; i < tSeen.size(); ++i) {
            EXPECT_EQ(tSeen[i].object, &mail);
            EXPECT_EQ(tSeen[i].processed, static_cast<int32_t>(i * 1024));
            EXPECT_EQ(tSeen[i].total, total);
        }
        EXPECT_EQ(handled, static_cast<int>(tSeen.size()));
    };
    std::thread a([&] { send(20 * 1024); });
    std::thread b([&] { send(10 * 1024); });
    a.join();
    b.join();
}

TEST(GlueProgressDispatch, AThrowingHandlerCancelsAndLeavesThroughSendit)
{
    FakeLibrary& fake = FakeLibrary::onThisThread();
    fake.progressSteps = {{0, 4096}, {1024, 4096}, {2048, 4096}};
    RecordingHostServices host;
    WRENPOSTCLASS mail(host);
    mail.setLibraryEntry(&FakeLibrary::entry);
    mail.ADDTO("", "bob@example.com");
    int calls = 0;
    mail.setProgressHandler([&](WRENPOSTCLASS& sending) {
        ++calls;
        if (sending.BYTESPROCESSED == 1024) throw std::runtime_error("display gone");
    });
    EXPECT_THROW(mail.SENDIT(), std::runtime_error);
    EXPECT_EQ(calls, 2) << "the library was told to stop at the failing call";
    EXPECT_EQ(mail.USERCANCEL, 0);
    EXPECT_EQ(WRENPOSTCLASS::sendingOnThisThread(), nullptr);

    // The object is usable again afterwards.
    mail.setProgressHandler(nullptr);
    fake.progressSteps.clear();
    EXPECT_EQ(mail.SENDIT(), RESULT_OK);
}

}  // namespace
}  // namespace quillnet
