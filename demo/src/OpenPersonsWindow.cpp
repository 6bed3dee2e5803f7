#include "OpenPersonsWindow.h"

#include <QMdiSubWindow>
#include <QTreeView>

#include "Bpersons.h"
#include "MainFrame.h"

namespace demo {

Bpersons* openPersonsWindow(MainFrame& frame)
{
    ProgramState& state = frame.state();
    auto* window = new Bpersons(PersonsContext{frame.database(), frame.host(), [&state] { return state.lastNameFirst(); }, {}});
    window->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(&state, &ProgramState::lastNameFirstChanged, window, &Bpersons::refreshNames);
    frame.addChildWindow(window)->setAttribute(Qt::WA_DeleteOnClose);
    window->tree()->setFocus();
    return window;
}

}  // namespace demo
