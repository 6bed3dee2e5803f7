#pragma once
// A fresh contact database per test: an SQLite file in a temporary folder, or, when
// QUILLNET_TEST_DATABASE names a PostgreSQL server, a new database of its own on that server.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <memory>

#include "demo/data/ContactDatabase.h"

namespace demo::data::testing {

class DataTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder_.isValid());
        location_ = freshLocation();
        db_ = std::make_unique<ContactDatabase>(location_);
        const DataError e = db_->open();
        ASSERT_FALSE(e) << e.text.toStdString();
    }

    bool postgres() const { return location_.engine == DatabaseLocation::Engine::PostgreSql; }

    // A second station on the same database.
    std::unique_ptr<ContactDatabase> secondStation() const
    {
        auto other = std::make_unique<ContactDatabase>(location_);
        const DataError e = other->open();
        EXPECT_FALSE(e) << e.text.toStdString();
        return other;
    }

    DatabaseLocation freshLocation()
    {
        static int serial = 0;
        const QString server = qEnvironmentVariable("QUILLNET_TEST_DATABASE");
        if (server.isEmpty()) {
            DatabaseLocation location;
            location.sqliteFile = folder_.filePath(QStringLiteral("contacts%1.sqlite").arg(++serial));
            return location;
        }
        DatabaseLocation location = DatabaseLocation::fromPostgresUrl(server);
        location.databaseName +=
            QStringLiteral("_%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
        return location;
    }

    QTemporaryDir folder_;
    DatabaseLocation location_;
    std::unique_ptr<ContactDatabase> db_;
};

}  // namespace demo::data::testing
