// Importing into a fresh SQLite database and exporting from it.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <memory>

#include "PrintQString.h"
#include "demo/data/GroupPersonTable.h"
#include "demo/data/GroupTable.h"
#include "demo/data/PersonsTable.h"
#include "demo/exchange/CsvWriter.h"
#include "demo/exchange/ImportPlan.h"
#include "demo/exchange/PersonsExport.h"
#include "demo/exchange/PersonsFile.h"
#include "demo/exchange/TextDecoding.h"

namespace demo::exchange {
namespace {

class Import : public ::testing::Test {
protected:
    // An SQLite file, or a new database on the PostgreSQL server that
    // QUILLNET_TEST_DATABASE names.
    std::unique_ptr<data::ContactDatabase> freshDatabase(const QString& name)
    {
        data::DatabaseLocation location;
        const QString server = qEnvironmentVariable("QUILLNET_TEST_DATABASE");
        if (server.isEmpty()) {
            location.sqliteFile = dir_.filePath(name);
        } else {
            location = data::DatabaseLocation::fromPostgresUrl(server);
            location.databaseName += QStringLiteral("_x%1_%2").arg(QCoreApplication::applicationPid()).arg(name.section(QLatin1Char('.'), 0, 0));
        }
        auto db = std::make_unique<data::ContactDatabase>(location);
        const data::DataError error = db->open();
        EXPECT_FALSE(error) << error.text.toStdString();
        return db;
    }

    static data::Person person(const char* first, const char* last, const char* address)
    {
        data::Person p;
        p.firstName = QString::fromUtf8(first);
        p.lastName = QString::fromUtf8(last);
        p.emailAddress = QString::fromUtf8(address);
        return p;
    }

    static ImportResult import(const data::ContactDatabase& db, const QByteArray& bytes,
                               DuplicateChoice choice, ImportCounts* counts = nullptr,
                               const ImportPlan::Progress& progress = {})
    {
        data::DataError error;
        const ImportPlan plan = ImportPlan::prepare(readPersonsBytes(bytes), db, &error);
        EXPECT_FALSE(error) << error.text.toStdString();
        if (counts) *counts = plan.counts();
        return plan.apply(db, choice, progress);
    }

    // Every person as "first last <address> [groups]", in number order.
    static QStringList contents(const data::ContactDatabase& db)
    {
        data::DataError error;
        QStringList out;
        for (const PersonRow& row : collectPersons(db, &error)) {
            const data::Person& p = row.person;
            out << QStringLiteral("%1|%2|%3|%4|%5 [%6]")
                       .arg(p.firstName, p.initials, p.infix, p.lastName, p.emailAddress,
                            row.groups.join(QLatin1Char(',')));
        }
        EXPECT_FALSE(error);
        return out;
    }

    QTemporaryDir dir_;
};

const QByteArray header = "First name,Initials,Infix,Last name,E-mail address,Groups\n";

TEST_F(Import, DuplicatesAreSkippedOrUpdated)
{
    const QByteArray file = header +
                            "Johan,,,,JAN@x.nl,Work\n"  // stored already
                            "Bea,,,Early,bea@x.nl,Home\n"
                            ",,,Later,BEA@x.nl,Club\n"  // earlier in the file
                            "Nobody,,,,,\n";            // no address: never a duplicate
    struct Case {
        DuplicateChoice choice;
        QStringList expected;
    };
    const Case cases[] = {
        {DuplicateChoice::Skip,
         {"Jan|||Dijk|jan@x.nl [Friends]", "Bea|||Early|bea@x.nl [Home]", "Nobody|||| []"}},
        {DuplicateChoice::Update,
         {"Johan|||Dijk|jan@x.nl [Friends,Work]", "Bea|||Later|bea@x.nl [Club,Home]", "Nobody|||| []"}},
    };
    int n = 0;
    for (const Case& c : cases) {
        const auto db = freshDatabase(QStringLiteral("dup%1.sqlite").arg(n++));
        data::Person jan = person("Jan", "Dijk", "jan@x.nl");
        ASSERT_FALSE(data::PersonsTable(*db).insert(jan));
        data::Group friends{0, QStringLiteral("Friends")};
        ASSERT_FALSE(data::GroupTable(*db).insert(friends));
        ASSERT_FALSE(data::GroupPersonTable(*db).insert({jan.number, friends.number}));

        ImportCounts counts;
        const ImportResult result = import(*db, file, c.choice, &counts);
        EXPECT_FALSE(result.error) << result.error.text.toStdString();
        EXPECT_EQ(counts.newPersons, 2);
        EXPECT_EQ(counts.duplicatesInDatabase, 1);
        EXPECT_EQ(counts.duplicatesInFile, 1);
        EXPECT_EQ(counts.newGroups, 3);
        EXPECT_EQ(result.added, 2);
        EXPECT_EQ(c.choice == DuplicateChoice::Skip ? result.skipped : result.updated, 2);
        EXPECT_EQ(contents(*db), c.expected);
    }
}

TEST_F(Import, NothingChangesWhenTheImportCannotFinish)
{
    QByteArray many = header;
    for (int i = 0; i < 300; ++i)
        many += QByteArray("P,,,") + QByteArray::number(i) + ",p" + QByteArray::number(i) + "@x.nl,New\n";
    struct Case {
        const char* name;
        QByteArray file;
        qint16 highestStored;  // a person stored with this number, to run out of numbers
        int cancelAt;          // -1: never cancel
        bool failure;
        bool cancelled;
    };
    const Case cases[] = {
        {"unterminated quote", header + "A,,,B,a@x.nl,New\n\"C,,,D,c@x.nl,New\n", 1, -1, false, false},
        {"numbers run out halfway", many, data::HighestNumber - 100, -1, true, false},
        {"cancelled halfway", many, 1, 256, false, true},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto db = freshDatabase(QStringLiteral("fail%1.sqlite").arg(n++));
        QSqlQuery insert(db->connection());
        ASSERT_TRUE(
            insert.exec(QStringLiteral("INSERT INTO persons (number, firstname, initials, infix, lastname, "
                                       "emailaddress) VALUES (%1, 'Kept', '', '', '', 'kept@x.nl')")
                            .arg(c.highestStored)));
        const QStringList before = contents(*db);
        const ImportResult result = import(*db, c.file, DuplicateChoice::Update, nullptr,
                                           [&](int done, int) { return done != c.cancelAt; });
        EXPECT_EQ(bool(result.error), c.failure) << result.error.text.toStdString();
        EXPECT_EQ(result.cancelled, c.cancelled);
        EXPECT_EQ(result.added, 0);
        EXPECT_EQ(contents(*db), before);
        EXPECT_TRUE(data::GroupTable(*db).all(false).empty());
    }
}

TEST_F(Import, ExportThenImportIntoAnEmptyDatabaseKeepsEverything)
{
    const auto source = freshDatabase(QStringLiteral("source.sqlite"));
    const QByteArray file =
        header +
        "Zoë,Z.,van der,Ørsted-Łukasiewicz,zoe@x.nl,\"Fri, ends;Work\\;Late;Back\\\\slash\"\n"
        "\"Quote \"\"me\"\"\",,,\"Multi; part\",q@x.nl,\n"
        ",,,渡辺,,日本語のグループ名としては長めの名前を付けて折り返しを試す\n"
        "Ann,,,,ann@x.nl,Work\n";
    ASSERT_FALSE(import(*source, file, DuplicateChoice::Skip).error);
    const QStringList stored = contents(*source);
    ASSERT_EQ(stored.size(), 4);

    int n = 0;
    for (FileFormat format : {FileFormat::Csv, FileFormat::VCard3, FileFormat::VCard4}) {
        const QString path = dir_.filePath(QStringLiteral("out%1.%2").arg(n).arg(fileExtension(format)));
        data::DataError error;
        ASSERT_TRUE(writePersonsFile(path, collectPersons(*source, &error), format).isEmpty());
        if (format != FileFormat::Csv) {
            // Folded lines: at most 75 bytes, never a character split over two.
            QFile written(path);
            ASSERT_TRUE(written.open(QIODevice::ReadOnly));
            for (const QByteArray& line : written.readAll().split('\n')) {
                EXPECT_LE(line.size(), 76) << line.toStdString();
                EXPECT_TRUE(decodeUtf8(line.startsWith(' ') ? line.mid(1) : line).has_value())
                    << line.toStdString();
            }
        }
        const auto target = freshDatabase(QStringLiteral("target%1.sqlite").arg(n++));
        data::DataError prepareError;
        const ImportPlan plan = ImportPlan::prepare(readPersonsFile(path), *target, &prepareError);
        EXPECT_TRUE(plan.parsed().unusable.empty() && plan.parsed().warnings.empty());
        EXPECT_FALSE(plan.apply(*target, DuplicateChoice::Skip).error);
        EXPECT_EQ(contents(*target), stored) << path.toStdString();
    }
}

}  // namespace
}  // namespace demo::exchange
