#include "PersonsExchangeHooks.h"

#include "MainFrame.h"
#include "PersonsExchangeCommands.h"

namespace demo {
namespace {

// Owned by the frame as a child, so it ends with the frame.
class CommandsOfFrame : public QObject {
public:
    explicit CommandsOfFrame(MainFrame& frame)
        : QObject(&frame), commands(frame.database(), frame.host(), &frame)
    {
        setObjectName(QString::fromLatin1(name));
    }
    static constexpr const char* name = "personsExchangeCommands";
    PersonsExchangeCommands commands;
};

PersonsExchangeCommands& commandsOf(MainFrame& frame)
{
    auto* owner =
        frame.findChild<QObject*>(QString::fromLatin1(CommandsOfFrame::name), Qt::FindDirectChildrenOnly);
    if (!owner) owner = new CommandsOfFrame(frame);
    return static_cast<CommandsOfFrame*>(owner)->commands;
}

}  // namespace

void addPersonsExchange(FrameHooks& hooks)
{
    hooks.importPersons = [](MainFrame& frame) { commandsOf(frame).importPersons(); };
    hooks.exportPersons = [](MainFrame& frame) { commandsOf(frame).exportPersons(); };
}

}  // namespace demo
