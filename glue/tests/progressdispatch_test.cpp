// The library's progress procedure has no arguments; each call must still
// reach the object that is sending on its thread.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "FakeLibrary.h"
#include "RecordingHostServices.h"
#include "quillnet/progressfigures.h"
#include "quillnet/wrenpostclass.h"

namespace quillnet {
namespace {

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
    // Both sends wait at their first progress call until the other one is
    // inside SENDIT too, so the two really are in flight at the same time.
    std::atomic<int> inFlight{0};
    auto send = [&](int32_t total, std::vector<Seen>* seen, std::vector<ProgressSnapshot>* figures) {
        FakeLibrary& fake = FakeLibrary::onThisThread();
        fake.progressSteps.clear();
        for (int32_t done = 0; done <= total; done += 1024) fake.progressSteps.push_back({done, total});
        RecordingHostServices host;
        WRENPOSTCLASS mail(host);
        mail.setLibraryEntry(&FakeLibrary::entry);
        mail.ADDTO("", "bob@example.com");
        mail.SETCALLBACK(&plainProcedure);
        ProgressFigures progress;
        progress.start(0);
        mail.setProgressHandler([&](WRENPOSTCLASS& sending) {
            progress.update(sending.BYTESPROCESSED, sending.BYTESTOTAL, 100);
            figures->push_back(progress.figures());
            if (sending.BYTESPROCESSED == 0) {
                inFlight.fetch_add(1);
                while (inFlight.load() < 2) std::this_thread::yield();
            }
        });
        EXPECT_EQ(mail.SENDIT(), RESULT_OK);
        EXPECT_EQ(WRENPOSTCLASS::sendingOnThisThread(), nullptr) << "cleared once SENDIT returned";
        *seen = tSeen;
    };

    std::vector<Seen> seenA, seenB;
    std::vector<ProgressSnapshot> figuresA, figuresB;
    std::thread a([&] { send(20 * 1024, &seenA, &figuresA); });
    std::thread b([&] { send(10 * 1024, &seenB, &figuresB); });
    a.join();
    b.join();

    ASSERT_EQ(seenA.size(), 21u);
    ASSERT_EQ(seenB.size(), 11u);
    for (size_t i = 0; i < seenA.size(); ++i) {
        EXPECT_EQ(seenA[i].total, 20 * 1024);
        EXPECT_EQ(seenA[i].processed, static_cast<int32_t>(i * 1024));
        EXPECT_EQ(seenA[i].object, seenA[0].object);
        EXPECT_EQ(figuresA[i].MAILPROGRESS, static_cast<int32_t>(i * 100 / 20));
    }
    for (size_t i = 0; i < seenB.size(); ++i) {
        EXPECT_EQ(seenB[i].total, 10 * 1024);
        EXPECT_EQ(seenB[i].object, seenB[0].object);
        EXPECT_EQ(figuresB[i].MAILPROGRESS, static_cast<int32_t>(i * 10));
    }
    EXPECT_NE(seenA[0].object, nullptr);
    EXPECT_NE(seenA[0].object, seenB[0].object);
}

TEST(GlueProgressDispatch, AThrowingHandlerCancelsAndLeavesThroughSendit)
{
    FakeLibrary& fake = FakeLibrary::onThisThread();
    fake.calls.clear();
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
