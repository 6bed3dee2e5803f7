// Times the import of a full persons file (32,767 persons, the most the
// numbers allow, 200 groups, about 49,000 memberships) from CSV into a fresh
// SQLite database, then its export, and prints the figures.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

#include "demo/data/PersonsTable.h"
#include "demo/exchange/CsvWriter.h"
#include "demo/exchange/ImportPlan.h"
#include "demo/exchange/PersonsExport.h"
#include "demo/exchange/PersonsFile.h"

using namespace demo;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    constexpr int personCount = data::HighestNumber;
    std::vector<exchange::PersonRow> rows;
    rows.reserve(personCount);
    for (int i = 1; i <= personCount; ++i) {
        exchange::PersonRow row;
        row.person.firstName = QStringLiteral("Fr\u00E9d\u00E9rique %1").arg(i);
        row.person.initials = QStringLiteral("F.");
        row.person.infix = i % 3 == 0 ? QStringLiteral("van der") : QString();
        row.person.lastName = QStringLiteral("Janssen-%1").arg(i % 977);
        row.person.emailAddress = QStringLiteral("person%1@example.org").arg(i);
        row.groups << QStringLiteral("Group %1").arg(i % 200);
        if (i % 2 == 0) row.groups << QStringLiteral("Group %1").arg((i / 2) % 200 + 200);
        rows.push_back(row);
    }
    QTemporaryDir dir;
    const QString csvPath = dir.filePath(QStringLiteral("persons.csv"));
    QFile csv(csvPath);
    if (!csv.open(QIODevice::WriteOnly) || csv.write(exchange::writeCsv(rows)) < 0) return 1;
    csv.close();

    data::DatabaseLocation location;
    location.sqliteFile = dir.filePath(QStringLiteral("contacts.sqlite"));
    data::ContactDatabase db(location);
    if (const data::DataError error = db.open()) {
        std::fprintf(stderr, "%s\n", qPrintable(error.text));
        return 1;
    }

    // The processor time beside the wall time: on a machine shared with other
    // work the wall time says more about the neighbours than about the import.
    const std::clock_t cpuStart = std::clock();
    QElapsedTimer total;
    total.start();
    QElapsedTimer step;
    step.start();
    exchange::ParsedPersons parsed = exchange::readPersonsFile(csvPath);
    const qint64 readMs = step.restart();
    data::DataError error;
    const exchange::ImportPlan plan = exchange::ImportPlan::prepare(std::move(parsed), db, &error);
    const qint64 planMs = step.restart();
    const exchange::ImportResult result = plan.apply(db, exchange::DuplicateChoice::Skip);
    const qint64 applyMs = step.restart();
    const qint64 totalMs = total.elapsed();
    const long long cpuMs = static_cast<long long>(std::clock() - cpuStart) * 1000 / CLOCKS_PER_SEC;
    if (error || result.error || result.added != personCount) {
        std::fprintf(stderr, "import failed: %s %s (%d added)\n", qPrintable(error.text),
                     qPrintable(result.error.text), result.added);
        return 1;
    }
    std::printf(
        "import of %d persons (%d groups, %d memberships) from CSV: %lld ms "
        "(reading %lld ms, preview %lld ms, writing %lld ms; processor time %lld ms); target under 3000 ms\n",
        personCount, result.groupsCreated, result.membershipsAdded, totalMs, readMs, planMs, applyMs, cpuMs);

    step.restart();
    const std::vector<exchange::PersonRow> stored = exchange::collectPersons(db, &error);
    const QString failure = exchange::writePersonsFile(dir.filePath(QStringLiteral("out.csv")), stored,
                                                       exchange::FileFormat::Csv);
    std::printf("export of %zu persons to CSV: %lld ms\n", stored.size(), step.elapsed());
    return error || !failure.isEmpty() ? 1 : 0;
}
