// The arithmetic of the progress figures.
#include "quillnet/progressfigures.h"

#include <gtest/gtest.h>

namespace quillnet {
namespace {

TEST(GlueProgressFigures, UpdateComputesPercentAndEstimates)
{
    struct Case {
        int32_t processed, total;
        int64_t elapsed;
        int32_t percent;
        int64_t expected, remaining;
    } cases[] = {
        {512, 2048, 1000, 25, 4000, 3000},
        {0, 2048, 0, 0, 0, 0},   // the first call: nothing to estimate yet
        {1, 300, 500, 0, 0, 0},  // a third of one percent is still 0
        {3, 300, 500, 1, 50000, 49500},
        {2048, 2048, 777, 100, 777, 0},
        {100, 0, 10, 0, 0, 0},             // no total: no fault, no estimate
        {2047, 2048, 1000, 99, 1010, 10},  // 1010.1 drops its fraction
        {5000, 2048, 10, 100, 10, 0},      // more than announced shows as complete
        // Counters past 2 GiB arrive negative and are read as unsigned.
        {static_cast<int32_t>(3000000000u), static_cast<int32_t>(4000000000u), 300, 75, 400, 100},
        {INT32_MAX, -1, 100, 49, 204, 104},
    };
    for (const Case& c : cases) {
        ProgressFigures figures;
        figures.start(123456);
        figures.update(c.processed, c.total, 123456 + c.elapsed);
        const ProgressSnapshot& f = figures.figures();
        SCOPED_TRACE(testing::Message() << c.processed << " of " << c.total << " after " << c.elapsed);
        EXPECT_EQ(f.MAILPROGRESS, c.percent);
        EXPECT_EQ(f.MAILPROCESSED, static_cast<uint32_t>(c.processed));
        EXPECT_EQ(f.MAILTOTAL, static_cast<uint32_t>(c.total));
        EXPECT_EQ(f.MAILCLOCK, c.elapsed);
        EXPECT_EQ(f.MAILEXPECTED, c.expected);
        EXPECT_EQ(f.MAILREMAINING, c.remaining);
    }
}

TEST(GlueProgressFigures, StartClearsAndFinishShowsTheSendComplete)
{
    ProgressFigures figures;
    figures.start(1000);
    figures.update(1024, 4096, 1200);
    figures.finish(1000);  // a send of 0 hundredths
    ProgressSnapshot f = figures.figures();
    EXPECT_EQ(f.MAILPROGRESS, 100);
    EXPECT_EQ(f.MAILPROCESSED, 4096u);
    EXPECT_EQ(f.MAILCLOCK, 0);
    EXPECT_EQ(f.MAILEXPECTED, 0);
    EXPECT_EQ(f.MAILREMAINING, 0);

    figures.finish(1750);
    EXPECT_EQ(figures.figures().MAILCLOCK, 750);
    EXPECT_EQ(figures.figures().MAILEXPECTED, 750);

    figures.start(5000);
    f = figures.figures();
    EXPECT_EQ(f.MAILPROGRESS, 0);
    EXPECT_EQ(f.MAILTOTAL, 0u);
    EXPECT_EQ(f.MAILPROCESSED, 0u);
    EXPECT_EQ(f.MAILCLOCK, 0);
    EXPECT_EQ(f.MAILEXPECTED, 0);
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

}  // namespace
}  // namespace quillnet
