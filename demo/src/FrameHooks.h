// What the frame starts but does not build itself: the persons' import and
// export, the browse of persons and the mail window. The program's main()
// sets them; an unset hook leaves its menu item or button disabled.
#ifndef DEMO_FRAMEHOOKS_H
#define DEMO_FRAMEHOOKS_H

#include <functional>

namespace demo {

class MainFrame;

struct FrameHooks {
    // Each runs on the window thread with the frame that was used.
    std::function<void(MainFrame&)> importPersons;
    std::function<void(MainFrame&)> exportPersons;
    std::function<void(MainFrame&)> persons;  // the browse, as a child window
    std::function<void(MainFrame&)> email;    // the mail window, modal over the frame
};

}  // namespace demo

#endif
