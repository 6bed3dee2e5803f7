// The contact mailing program from start to end: the error manager, the
// program's profile "demo.INI", the contact data, then the frame until it
// closes; taken down again in the same order. A failure to open or create
// the data is shown and ends the program before the frame opens.
#ifndef DEMO_DEMOPROGRAM_H
#define DEMO_DEMOPROGRAM_H

#include <QString>
#include <functional>

#include "FrameHooks.h"
#include "quillnet/hostservices.h"

namespace demo {

class DemoProgram {
public:
    // Told each step as it is done, for the log of a run.
    using Trace = std::function<void(const QString& step)>;

    DemoProgram(quillnet::HostServices& host, FrameHooks hooks, Trace trace = {});

    // The information window greets the user when the frame has opened (on
    // by default).
    void setGreeting(bool greet) { greet_ = greet; }

    // Runs the program on the window thread; returns its exit status, 0 once
    // the frame has closed, 1 when the data could not be opened.
    int run();

private:
    void step(const QString& done) const;

    quillnet::HostServices& host_;
    FrameHooks hooks_;
    Trace trace_;
    bool greet_ = true;
};

}  // namespace demo

#endif
