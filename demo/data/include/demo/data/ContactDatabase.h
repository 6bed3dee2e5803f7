#pragma once
// The contact database: one per program (or per test), shared by every thread.
#include <QSqlDatabase>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "demo/data/DataError.h"
#include "demo/data/DatabaseLocation.h"

namespace demo::data {

class ContactDatabase {
public:
    explicit ContactDatabase(DatabaseLocation location);
    // Closes every connection it opened; the threads that used it must be done with it.
    ~ContactDatabase();
    ContactDatabase(const ContactDatabase&) = delete;
    ContactDatabase& operator=(const ContactDatabase&) = delete;

    // Opens the database, creating the file, the database and the tables when missing; waits up
    // to 10 s for a lock held by another program; a damaged index is reported as InvalidKey
    // through `notices` and rebuilt. A FileAccess/FileCreation result is fatal for a program.
    DataError open(std::vector<DataError>* notices = nullptr);

    // The calling thread's connection (a QSqlDatabase may only be used on the thread that made
    // it): made on first use on each thread, with foreign keys on for SQLite. Invalid (not open)
    // when open() has not succeeded.
    QSqlDatabase connection() const;
    // Closes the calling thread's connection; a worker thread calls it before it ends, as
    // connections are otherwise kept until the ContactDatabase goes (one server session each).
    void releaseThreadConnection() const;
    int connectionCount() const;  // connections open now, over all threads
    const DatabaseLocation& location() const;
    bool isPostgres() const { return location_.engine == DatabaseLocation::Engine::PostgreSql; }

    // Runs `work` in one transaction on the calling thread's connection: committed when it returns
    // no error, else rolled back. Nested calls become savepoints of the outer transaction.
    DataError inTransaction(const std::function<DataError()>& work) const;

    static constexpr int SchemaVersion = 2;

private:
    QString connectionName() const;
    QSqlDatabase addConnection(const QString& name) const;
    static void prepareConnection(QSqlDatabase& db, bool postgres);
    DataError openSqlite(std::vector<DataError>* notices);
    DataError openPostgres();
    DataError createPostgresDatabase();
    QString createSchema();  // the engine's complaint, empty when all is well
    DataError rebuildDamagedIndexes(std::vector<DataError>* notices);
    int& depthOf(const QString& connection) const;

    DatabaseLocation location_;
    int serial_;
    std::atomic<bool> opened_{false};
    mutable std::mutex mutex_;
    mutable std::map<QString, QSqlDatabase> connections_;  // by connection name
    mutable std::map<QString, int> transactionDepth_;      // by connection name
};

}  // namespace demo::data
