// Shows the send report of a mass send in which one batch had a person
// refused and the journal gave out before the last batch, for a look at the
// window on a real display: run it under Xvfb, take a picture of the screen
// while it waits. Not a test; the data live in a temporary folder and the
// library is the scripted stand-in.
#include <QApplication>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include "EmailWindow.h"
#include "ReceiverTreeModel.h"
#include "RecordingHostServices.h"
#include "SendReportWindow.h"
#include "demo/data/GroupPersonTable.h"
#include "demo/data/GroupTable.h"
#include "demo/data/PersonsTable.h"
#include "demo/data/SettingsTable.h"
#include "support/ScriptedLibrary.h"

using namespace demo;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? QString(argv[1]).toInt() : 10;
    QTemporaryDir dir;
    data::DatabaseLocation where;
    where.sqliteFile = dir.filePath("contacts.sqlite");
    data::ContactDatabase db(where);
    if (db.open()) return 1;
    data::SettingsTable settings(db);
    settings.insertBlank();
    const data::Settings blank = *settings.first();
    data::Settings s = blank;
    s.mailHost = "localhost";
    s.senderName = "Ann Smit";
    s.senderEmail = "ann@example.org";
    s.standardSubject = "Choir rehearsal";
    s.footer = "Dear all,\nsee you on Friday.";
    s.recipientsPerMessage = 2;
    settings.update(blank, s);
    data::Group choir{0, "Choir"};
    data::GroupTable(db).insert(choir);
    const char* const people[][3] = {{"Anna", "Vries", "anna@example.org"},
                                     {"Jan", "Dijk", "jan@example.org"},
                                     {"Piet", "Jansen", "piet@example.net"},
                                     {"Sofie", "Peeters", "sofie@example.be"},
                                     {"Emma", "Berg", "emma@example.com"}};
    for (const auto& row : people) {
        data::Person p;
        p.firstName = row[0];
        p.lastName = row[1];
        p.emailAddress = row[2];
        data::PersonsTable(db).insert(p);
        data::GroupPersonTable(db).insert({p.number, choir.number});
    }
    QSqlQuery(db.connection())
        .exec(
            "CREATE TRIGGER refuse BEFORE UPDATE ON sendbatches WHEN NEW.batchnumber = 3 AND NEW.state = 1 "
            "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END");

    auto& library = testing::ScriptedLibrary::instance();
    library.answer(RESULT_OK);
    library.answer(RESULT_SOME_RECIPIENTS_REFUSED, "Refused: <piet@example.net> 550 5.1.1 no such user");
    quillnet::RecordingHostServices host;
    EmailWindow window(EmailWindow::Services{db, host, [] { return false; }, {}});
    window.setLibraryEntry(&testing::ScriptedLibrary::entry);
    window.show();
    window.receiverTree()->setCurrentIndex(
        window.receiverModel()->find(QStringLiteral("1:%1").arg(choir.number)));
    QTimer::singleShot(0, &window, [&] {
        window.send();
        if (SendReportWindow* report = window.reportWindow()) {
            report->move(window.pos() + QPoint(120, 80));
            report->raise();
            report->activateWindow();
        }
    });
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    return app.exec();
}
