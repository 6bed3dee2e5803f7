#include "EmailWindowHook.h"

#include "EmailWindow.h"
#include "MainFrame.h"
#include "ProgramState.h"
#include "UpdateAttachementsForm.h"

namespace demo {

void openEmailWindow(MainFrame& frame)
{
    ProgramState& state = frame.state();
    const data::ContactDatabase& db = frame.database();
    quillnet::HostServices& host = frame.host();
    EmailWindow window({db, host, [&state] { return state.lastNameFirst(); },
                        [&db, &host](QWidget* parent) { UpdateAttachementsForm::insert(parent, db, host); }, &state},
                       &frame);
    window.exec();
}

}  // namespace demo
