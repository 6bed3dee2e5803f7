// demo: the contact mailing program. Persons, groups and the defaults of
// every mail in a small database, mail to everyone, a group or one person.
#include <QApplication>

#include "DemoProgram.h"
#include "EmailWindowHook.h"
#include "FrameHooks.h"
#include "PersonsExchangeHooks.h"
#include "OpenPersonsWindow.h"
#include "GlueText.h"
#include "quillnet/qt/QtHostServices.h"

int main(int argc, char** argv)
{
    demo::useUtf8MailParts();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("demo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Larkwire Demo"));
    QApplication::setOrganizationName(QStringLiteral("quillnet"));

    quillnet::qt::QtHostServices host;
    demo::FrameHooks hooks;  // the persons' windows and the mail window plug in here
    demo::addPersonsExchange(hooks);
    hooks.persons = [](demo::MainFrame& frame) { demo::openPersonsWindow(frame); };
    hooks.email = demo::openEmailWindow;
    return demo::DemoProgram(host, hooks).run();
}
