// A fresh data folder and a fresh settings folder for one test, named to the
// program through its environment, and a contact database opened in it.
#ifndef DEMO_TESTFOLDERS_H
#define DEMO_TESTFOLDERS_H

#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "demo/data/ContactDatabase.h"
#include "quillnet/qt/ConfigFolder.h"

struct DemoTestFolders {
    QTemporaryDir root;

    DemoTestFolders()
    {
        qunsetenv("QUILLNET_DATABASE");
        qputenv("QUILLNET_DATA_DIR", root.filePath("data").toUtf8());
        qputenv("QUILLNET_CONFIG_DIR", root.filePath("config").toUtf8());
    }

    std::string configFile(const char* name) const { return quillnet::qt::configFilePath(name); }

    // An opened database in the data folder; nullptr (and the test failed)
    // when it could not be opened.
    std::unique_ptr<demo::data::ContactDatabase> openDatabase() const
    {
        auto database =
            std::make_unique<demo::data::ContactDatabase>(demo::data::DatabaseLocation::fromEnvironment());
        const demo::data::DataError error = database->open();
        if (error) {
            qWarning("%s", qPrintable(error.text));
            return nullptr;
        }
        return database;
    }
};

#endif
