// The frame's "Email" button: the compose window, modal over the frame.
#ifndef DEMO_EMAILWINDOWHOOK_H
#define DEMO_EMAILWINDOWHOOK_H

namespace demo {

class MainFrame;

void openEmailWindow(MainFrame& frame);

}  // namespace demo

#endif
