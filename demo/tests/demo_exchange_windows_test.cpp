// The import and export commands as the File menu runs them: file dialogs and
// message boxes answered by the recording host services, the work done on the
// worker thread against a fresh database.
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "DemoTestFolders.h"
#include "ImportPersonsDialog.h"
#include "PersonsExchangeCommands.h"
#include "RecordingHostServices.h"
#include "demo/data/PersonsTable.h"
#include "demo/exchange/PersonsFile.h"

using namespace demo;

class ExchangeWindowsTest : public QObject {
    Q_OBJECT

private:
    QString writeFile(const DemoTestFolders& folders, const char* name, const QByteArray& bytes)
    {
        const QString path = folders.root.filePath(QString::fromLatin1(name));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", name);
        return path;
    }

private slots:
    void importThenExport()
    {
        DemoTestFolders folders;
        auto db = folders.openDatabase();
        QVERIFY(db);
        quillnet::RecordingHostServices host;
        PersonsExchangeCommands commands(*db, host, nullptr);
        std::optional<exchange::ImportCounts> previewed;
        commands.askImport = [&](const exchange::ImportPlan& plan, const QString&) {
            previewed = plan.counts();
            return std::optional(exchange::DuplicateChoice::Update);
        };

        host.answerNextFileDialog(writeFile(folders, "in.csv",
                                            "First name,Last name,E-mail address,Groups\r\n"
                                            "Jan,Dijk,jan@x.nl,Club\r\nPiet,Puk,JAN@x.nl,Work\r\n,,bad,\r\n")
                                      .toStdString());
        commands.importPersons();
        QVERIFY(previewed);
        QCOMPARE(previewed->newPersons, 1);
        QCOMPARE(previewed->duplicatesInFile, 1);
        QCOMPARE(previewed->unusable, 1);
        QCOMPARE(host.boxes().back().text,
                 std::string(
                     "1 person(s) added, 1 updated, 0 skipped.|2 group(s) created, 2 membership(s) added."));
        QCOMPARE(data::PersonsTable(*db).fetchByEmail(QStringLiteral("jan@x.nl"))->firstName,
                 QStringLiteral("Piet"));

        commands.askFormat = [] { return std::optional(exchange::FileFormat::VCard4); };
        const QString target = folders.root.filePath(QStringLiteral("out"));
        host.answerNextFileDialog(target.toStdString());
        commands.exportPersons();
        QVERIFY(host.fileRequests().back().forSaving);
        QCOMPARE(host.fileRequests().back().filters, std::string("vCard files|*.vcf"));
        const exchange::ParsedPersons written = exchange::readPersonsFile(target + QStringLiteral(".vcf"));
        QCOMPARE(written.rows.size(), std::size_t(1));
        QCOMPARE(written.rows.front().groups, QStringList({QStringLiteral("Club"), QStringLiteral("Work")}));
    }

    void workerGivesItsConnectionBack()
    {
        DemoTestFolders folders;
        auto db = folders.openDatabase();
        QVERIFY(db);
        const int before = db->connectionCount();
        {
            quillnet::RecordingHostServices host;
            PersonsExchangeCommands commands(*db, host, nullptr);
            commands.askFormat = [] { return std::optional(exchange::FileFormat::Csv); };
            host.answerNextFileDialog(folders.root.filePath(QStringLiteral("all.csv")).toStdString());
            commands.exportPersons();
            QCOMPARE(db->connectionCount(), before + 1);
        }
        QCOMPARE(db->connectionCount(), before);
    }

    void unreadableFileImportsNothing()
    {
        DemoTestFolders folders;
        auto db = folders.openDatabase();
        QVERIFY(db);
        quillnet::RecordingHostServices host;
        PersonsExchangeCommands commands(*db, host, nullptr);
        bool asked = false;
        commands.askImport = [&](const exchange::ImportPlan&, const QString&) {
            asked = true;
            return std::optional(exchange::DuplicateChoice::Skip);
        };
        host.answerNextFileDialog(
            writeFile(folders, "bad.csv", "First name,E-mail address\n\"Jan,jan@x.nl\n").toStdString());
        commands.importPersons();
        QVERIFY(!asked);
        QCOMPARE(host.boxes().size(), std::size_t(1));
        QVERIFY(QString::fromStdString(host.boxes().front().text)
                    .startsWith(QStringLiteral("Nothing was imported.|")));
        QCOMPARE(data::PersonsTable(*db).count(), 0);
    }

    void previewListsTheRowsLeftOut()
    {
        DemoTestFolders folders;
        auto db = folders.openDatabase();
        QVERIFY(db);
        data::DataError error;
        const exchange::ImportPlan plan = exchange::ImportPlan::prepare(
            exchange::readPersonsBytes("Last name,E-mail address\nDijk,nowhere\n,\n"), *db, &error);
        ImportPersonsDialog dialog(plan, QStringLiteral("in.csv"));
        QCOMPARE(dialog.notesList()->topLevelItemCount(), 2);
        QCOMPARE(dialog.notesList()->topLevelItem(0)->text(0), QStringLiteral("2"));
        QCOMPARE(dialog.notesList()->topLevelItem(1)->text(0), QStringLiteral("3"));
        QVERIFY(!dialog.importButton()->isEnabled());
    }
};

QTEST_MAIN(ExchangeWindowsTest)
#include "demo_exchange_windows_test.moc"
