// Times the contacts window on a full contact database: building the group
// tree (closed, then with every group open), filling the persons list's first
// screen, reading the whole list as a user scrolling to its end would, and a
// jump of the e-mail locator near the end, and the member form, whose name
// box lists every person.
// Usage: demo_persons_window FILE   (FILE made by demo_database FILE; see
// persons-window-figures.sh)
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTreeView>
#include <cstdio>
#include <ctime>

#include "Bpersons.h"
#include "FGroupPerson.h"
#include "GroupTreeModel.h"
#include "PersonListModel.h"
#include "demo/data/ContactDatabase.h"
#include "demo/data/PersonsTable.h"
#include "quillnet/hostservices.h"

namespace {

template <typename Work>
void timed(const char* what, Work work)
{
    // Wall time and this process's processor time: on a machine shared with
    // other work the first grows with the load, the second hardly.
    QElapsedTimer timer;
    timer.start();
    const std::clock_t cpuStart = std::clock();
    const QString detail = work();
    const double cpuMs = 1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    std::printf("%-44s %8.1f ms wall %8.1f ms cpu  %s\n", what, timer.nsecsElapsed() / 1e6, cpuMs, qPrintable(detail));
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2 || !QFileInfo::exists(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "usage: demo_persons_window FILE  (build FILE with demo_database FILE first)\n");
        return 2;
    }
    demo::data::DatabaseLocation location;
    location.sqliteFile = QString::fromLocal8Bit(argv[1]);
    demo::data::ContactDatabase database(location);
    if (const demo::data::DataError error = database.open()) {
        std::fprintf(stderr, "%s\n", qPrintable(error.text));
        return 1;
    }
    quillnet::ConsoleHostServices host;
    const demo::PersonsContext context{database, host, [] { return false; }, {}};
    std::printf("%d persons in %s\n", demo::data::PersonsTable(database).count(), argv[1]);

    timed("group tree, all groups closed", [&] {
        demo::GroupTreeModel tree(database, context.lastNameFirst);
        return QStringLiteral("%1 groups").arg(tree.rowCount(tree.rootIndex()));
    });
    timed("group tree, every group open (model only)", [&] {
        demo::GroupTreeModel tree(database, context.lastNameFirst);
        tree.rebuildAllExpanded();
        return QStringLiteral("%1 groups open").arg(tree.expandedGroups().size());
    });
    timed("persons list, first batch", [&] {
        demo::PersonListModel persons(database, context.lastNameFirst);
        return QStringLiteral("%1 rows").arg(persons.rowCount());
    });
    std::unique_ptr<demo::Bpersons> window;
    timed("whole window opened and shown", [&] {
        window = std::make_unique<demo::Bpersons>(context);
        window->show();
        QApplication::processEvents();
        return QString();
    });
    timed("group tree rebuilt with every group open", [&] {
        window->expandAllGroups();
        QApplication::processEvents();
        int members = 0;
        demo::GroupTreeModel* tree = window->treeModel();
        for (int row = 0; row < tree->rowCount(tree->rootIndex()); ++row)
            members += tree->rowCount(tree->index(row, 0, tree->rootIndex()));
        return QStringLiteral("%1 member rows").arg(members);
    });
    timed("group tree rebuilt closed again", [&] {
        window->collapseAllGroups();
        QApplication::processEvents();
        return QString();
    });
    timed("persons list read to its end", [&] {
        demo::PersonListModel* persons = window->personsModel();
        while (persons->canFetchMore({})) persons->fetchMore({});
        return QStringLiteral("%1 rows").arg(persons->rowCount());
    });
    timed("member form opened with every person to choose", [&] {
        demo::data::Membership member;
        member.groupNumber = 1;
        member.personNumber = 1;
        demo::FGroupPerson form(context, demo::FormRequest::Change, member);
        form.show();
        QApplication::processEvents();
        return QStringLiteral("%1 names").arg(form.personBox()->count());
    });
    timed("e-mail order, locator near the end", [&] {
        demo::PersonListModel persons(database, context.lastNameFirst);
        persons.setOrder(demo::data::PersonsTable::Order::EmailAddress);
        const int row = persons.locateEmail(QStringLiteral("PERSON9999"));
        return QStringLiteral("row %1 of %2 read").arg(row).arg(persons.rowCount());
    });
    return 0;
}
