#include "ProgressBar.h"

namespace quillnet {

namespace {
constexpr int kBarCells = 20;
constexpr int64_t kRedrawInterval = 25;  // hundredths of a second
}  // namespace

std::string progressLine(const ProgressSnapshot& figures)
{
    int filled = figures.MAILPROGRESS * kBarCells / 100;
    std::string line = "[" + std::string(filled, '#') + std::string(kBarCells - filled, '.') + "] ";
    char text[128];
    std::snprintf(text, sizeof text, "%3d%%  %lu/%lu bytes  %s elapsed",
                  static_cast<int>(figures.MAILPROGRESS), static_cast<unsigned long>(figures.MAILPROCESSED),
                  static_cast<unsigned long>(figures.MAILTOTAL),
                  ProgressFigures::formatDuration(figures.MAILCLOCK).c_str());
    line += text;
    // Until something has gone out there is no estimate to show.
    if (figures.MAILPROGRESS > 0)
        line += "  " + ProgressFigures::formatDuration(figures.MAILREMAINING) + " left";
    return line;
}

void ProgressBar::show(const ProgressSnapshot& figures, int64_t nowHundredths)
{
    if (drawn_ && figures.MAILPROGRESS == lastPercent_ && nowHundredths - lastDraw_ < kRedrawInterval) return;
    lastPercent_ = figures.MAILPROGRESS;
    lastDraw_ = nowHundredths;
    draw(figures);
}

void ProgressBar::finish(const ProgressSnapshot& figures)
{
    draw(figures);
    std::fputc('\n', out_);
    std::fflush(out_);
}

void ProgressBar::draw(const ProgressSnapshot& figures)
{
    std::string line = progressLine(figures);
    // Blank out what a longer earlier line left behind.
    size_t width = line.size();
    if (width < lastWidth_) line.append(lastWidth_ - width, ' ');
    lastWidth_ = width;
    std::fprintf(out_, "\r%s", line.c_str());
    std::fflush(out_);
    drawn_ = true;
}

}  // namespace quillnet
