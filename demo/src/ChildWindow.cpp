#include "ChildWindow.h"

#include <QMdiSubWindow>

namespace demo {

void closeChildWindow(QWidget* window)
{
    if (auto* child = qobject_cast<QMdiSubWindow*>(window->parentWidget())) {
        child->close();
    } else {
        window->close();
    }
}

}  // namespace demo
