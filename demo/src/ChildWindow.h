// Closing a window that may sit in the frame's work area. Closing only the
// window would leave its empty frame behind in the work area, so the frame is
// closed, which closes the window with it.
#ifndef DEMO_CHILDWINDOW_H
#define DEMO_CHILDWINDOW_H

class QWidget;

namespace demo {

void closeChildWindow(QWidget* window);

}  // namespace demo

#endif
