// The progress line quillnet-send draws on a terminal.
#include "ProgressBar.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace quillnet {
namespace {

TEST(SendProgressBar, LineShowsBarBytesAndTimes)
{
    ProgressSnapshot figures;
    EXPECT_EQ(progressLine(figures), "[....................]   0%  0/0 bytes  0:00:00 elapsed");
    figures.MAILPROGRESS = 25;
    figures.MAILPROCESSED = 512;
    figures.MAILTOTAL = 2048;
    figures.MAILCLOCK = 1000;
    figures.MAILREMAINING = 3000;
    EXPECT_EQ(progressLine(figures),
              "[#####...............]  25%  512/2048 bytes  0:00:10 elapsed  0:00:30 left");
    figures.MAILPROGRESS = 100;
    figures.MAILPROCESSED = 4000000000u;
    figures.MAILTOTAL = 4000000000u;
    figures.MAILREMAINING = 0;
    EXPECT_EQ(progressLine(figures),
              "[####################] 100%  4000000000/4000000000 bytes  0:00:10 elapsed  0:00:00 left");
}

TEST(SendProgressBar, RedrawsOnlyOnChangeOrAfterAQuarterSecond)
{
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    ProgressBar bar(out);
    ProgressSnapshot figures;
    figures.MAILTOTAL = 100000;
    bar.show(figures, 0);   // drawn: first
    bar.show(figures, 10);  // same percent, too soon
    bar.show(figures, 30);  // same percent, a quarter second later
    figures.MAILPROGRESS = 1;
    bar.show(figures, 31);  // percent changed
    bar.finish(figures);
    std::fclose(out);
    std::string written(buffer, size);
    std::free(buffer);
    size_t draws = 0;
    for (char c : written) draws += c == '\r';
    EXPECT_EQ(draws, 4u);
    EXPECT_EQ(written.back(), '\n');
}

}  // namespace
}  // namespace quillnet
