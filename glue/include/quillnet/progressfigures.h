// The figures a progress display shows while a mail is sent: bytes sent and
// in all, percent, elapsed time and the estimate of the whole and of the rest.
// One object per send; the window of the test form and the command line both
// feed it from their progress procedure and read the figures back.
#ifndef QUILLNET_PROGRESSFIGURES_H
#define QUILLNET_PROGRESSFIGURES_H

#include <cstdint>
#include <string>

namespace quillnet {

// A plain copy of the figures, cheap to hand to another thread.
struct ProgressSnapshot {
    int32_t MAILPROGRESS = 0;    // percent sent, 0..100
    uint32_t MAILTOTAL = 0;      // bytes of the message in all
    uint32_t MAILPROCESSED = 0;  // bytes of the message sent so far
    int64_t MAILCLOCK = 0;       // hundredths of a second spent sending
    int64_t MAILEXPECTED = 0;    // hundredths of a second the whole send is expected to take
    int64_t MAILREMAINING = 0;   // hundredths of a second still to go
};

class ProgressFigures {
public:
    // Monotonic clock in hundredths of a second; only differences matter, so
    // a send across midnight or a clock change cannot make times negative.
    static int64_t nowHundredths();

    // "h:mm:ss" for a duration in hundredths of a second (fractions dropped;
    // negative durations show as 0:00:00).
    static std::string formatDuration(int64_t hundredths);

    // Every figure back to 0 and the send's start set to `startHundredths`.
    void start(int64_t startHundredths);
    void start() { start(nowHundredths()); }

    // One call of the progress procedure. The counters are the library's
    // signed 32-bit values, read as unsigned. Percent and expected time are
    // whole numbers with the fraction dropped; the expected time is computed
    // from the whole-number percent. While the percent is still 0 (and for a
    // total of 0) nothing can be estimated: expected and remaining show 0.
    void update(int32_t bytesProcessed, int32_t bytesTotal, int64_t nowHundredths);
    void update(int32_t bytesProcessed, int32_t bytesTotal)
    {
        update(bytesProcessed, bytesTotal, nowHundredths());
    }

    // The send has returned: 100 percent, processed equal to total, expected
    // equal to the time taken, nothing remaining.
    void finish(int64_t nowHundredths);
    void finish() { finish(nowHundredths()); }

    const ProgressSnapshot& figures() const { return figures_; }
    int64_t startHundredths() const { return start_; }

private:
    ProgressSnapshot figures_;
    int64_t start_ = 0;
};

}  // namespace quillnet

#endif
