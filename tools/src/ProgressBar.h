// A one-line progress bar for a terminal: redrawn in place with a carriage
// return, at most a few times a second however often the library reports.
#ifndef QUILLNET_TOOLS_PROGRESSBAR_H
#define QUILLNET_TOOLS_PROGRESSBAR_H

#include <cstdio>
#include <string>

#include "quillnet/progressfigures.h"

namespace quillnet {

// "[#######.............]  35%  1024/2930 bytes  0:00:01 elapsed  0:00:02 left"
std::string progressLine(const ProgressSnapshot& figures);

class ProgressBar {
public:
    explicit ProgressBar(std::FILE* out) : out_(out) {}

    // Draws when the percent changed or a quarter second has passed.
    void show(const ProgressSnapshot& figures, int64_t nowHundredths);
    // Draws the final figures and ends the line.
    void finish(const ProgressSnapshot& figures);

private:
    void draw(const ProgressSnapshot& figures);

    std::FILE* out_;
    bool drawn_ = false;
    int32_t lastPercent_ = -1;
    int64_t lastDraw_ = 0;
    size_t lastWidth_ = 0;
};

}  // namespace quillnet

#endif
