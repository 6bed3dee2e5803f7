// The frame's "Persons" button: a new contacts window as a child of the
// frame's work area, showing names by the frame's display-name option.
#ifndef DEMO_OPENPERSONSWINDOW_H
#define DEMO_OPENPERSONSWINDOW_H

namespace demo {

class Bpersons;
class MainFrame;

Bpersons* openPersonsWindow(MainFrame& frame);

}  // namespace demo

#endif
