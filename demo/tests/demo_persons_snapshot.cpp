// Saves pictures of the contacts window inside the frame and of its record
// forms, for a look at their layout without a desktop: run it under xvfb-run
// and open the PNG files. Not a test; the data live in a temporary folder.
#include <QApplication>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>
#include <QTreeView>

#include "Bpersons.h"
#include "DemoTestFolders.h"
#include "FGroupPerson.h"
#include "FPerson.h"
#include "MainFrame.h"
#include "OpenPersonsWindow.h"
#include "RecordingHostServices.h"
#include "demo/data/GroupPersonTable.h"
#include "demo/data/GroupTable.h"
#include "demo/data/PersonsTable.h"

namespace {

void save(QWidget& widget, const QString& folder, const char* name)
{
    QTest::qWait(300);
    widget.grab().save(folder + "/" + name + ".png");
}

void fill(const demo::data::ContactDatabase& database)
{
    const char* const people[][4] = {
        {"Anna", "de", "Vries", "anna@example.org"},     {"Jan", "van", "Dijk", "jan.vandijk@example.org"},
        {"Piet", "", "Jansen", "piet@example.net"},      {"Sofie", "", "Peeters", "sofie.peeters@example.be"},
        {"Lucas", "", "Maes", ""},                        {"Emma", "van den", "Berg", "emma@example.com"},
        {"Noah", "", "Bakker", "noah.bakker@example.org"}, {"Madonna", "", "", "m@example.org"}};
    demo::data::PersonsTable persons(database);
    for (const auto& row : people) {
        demo::data::Person person;
        person.firstName = row[0];
        person.infix = row[1];
        person.lastName = row[2];
        person.emailAddress = row[3];
        persons.insert(person);
    }
    demo::data::GroupTable groups(database);
    for (const char* name : {"Choir", "Board", "Volunteers", "Newsletter"}) {
        demo::data::Group group;
        group.name = name;
        groups.insert(group);
    }
    demo::data::GroupPersonTable memberships(database);
    for (const auto& [person, group] : std::initializer_list<std::pair<int, int>>{
             {1, 1}, {2, 1}, {3, 1}, {1, 2}, {4, 2}, {6, 3}, {7, 3}, {8, 3}})
        memberships.insert({qint16(person), qint16(group)});
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    DemoTestFolders folders;
    quillnet::RecordingHostServices host;
    demo::ErrorManager errors(host);
    demo::ProgramState state;
    std::unique_ptr<demo::data::ContactDatabase> database = folders.openDatabase();
    if (!database) return 1;
    fill(*database);

    demo::MainFrame frame(*database, errors, state, {}, folders.configFile("mailig.ini"));
    frame.resize(1100, 720);
    frame.show();
    demo::Bpersons* window = demo::openPersonsWindow(frame);
    window->parentWidget()->move(10, 10);
    window->parentWidget()->resize(1000, 560);
    window->treeModel()->setGroupExpanded(1, true);
    window->treeModel()->setGroupExpanded(3, true);
    window->rebuildTree();
    window->selectPerson(2);
    save(frame, folder, "persons");

    demo::PersonsContext context{*database, host, [] { return false; }, {}};
    demo::FPerson person(context, demo::FormRequest::Change, *demo::data::PersonsTable(*database).fetch(2));
    person.show();
    save(person, folder, "fperson");
    demo::FGroupPerson member(context, demo::FormRequest::Change, {1, 1});
    member.show();
    save(member, folder, "fgroupperson");
    return 0;
}
