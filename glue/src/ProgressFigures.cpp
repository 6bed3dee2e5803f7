#include "quillnet/progressfigures.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace quillnet {

int64_t ProgressFigures::nowHundredths()
{
    using Hundredths = std::chrono::duration<int64_t, std::centi>;
    return std::chrono::duration_cast<Hundredths>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string ProgressFigures::formatDuration(int64_t hundredths)
{
    int64_t seconds = std::max<int64_t>(hundredths, 0) / 100;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

void ProgressFigures::start(int64_t startHundredths)
{
    figures_ = ProgressSnapshot();
    start_ = startHundredths;
}

void ProgressFigures::update(int32_t bytesProcessed, int32_t bytesTotal, int64_t nowHundredths)
{
    const uint64_t processed = static_cast<uint32_t>(bytesProcessed);
    const uint64_t total = static_cast<uint32_t>(bytesTotal);
    // 100 x a 32-bit count fits easily in 64 bits, so the quotient is exact
    // before its fraction is dropped. More sent than announced is shown as
    // complete rather than as a bar past its end.
    const uint64_t percent = total == 0 ? 0 : std::min<uint64_t>(100 * processed / total, 100);

    figures_.MAILPROGRESS = static_cast<int32_t>(percent);
    figures_.MAILTOTAL = static_cast<uint32_t>(total);
    figures_.MAILPROCESSED = static_cast<uint32_t>(processed);
    figures_.MAILCLOCK = std::max<int64_t>(nowHundredths - start_, 0);
    if (percent == 0) {
        figures_.MAILEXPECTED = 0;
        figures_.MAILREMAINING = 0;
    } else {
        figures_.MAILEXPECTED = figures_.MAILCLOCK * 100 / static_cast<int64_t>(percent);
        figures_.MAILREMAINING = figures_.MAILEXPECTED - figures_.MAILCLOCK;
    }
}

void ProgressFigures::finish(int64_t nowHundredths)
{
    figures_.MAILPROGRESS = 100;
    figures_.MAILPROCESSED = figures_.MAILTOTAL;
    figures_.MAILCLOCK = std::max<int64_t>(nowHundredths - start_, 0);
    figures_.MAILEXPECTED = figures_.MAILCLOCK;
    figures_.MAILREMAINING = 0;
}

}  // namespace quillnet
