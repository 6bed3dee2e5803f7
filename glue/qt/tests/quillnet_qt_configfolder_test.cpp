// The folder of the window programs' INI files follows the environment.
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "quillnet/qt/ConfigFolder.h"

class ConfigFolderTest : public QObject {
    Q_OBJECT

private slots:
    void folderFollowsTheEnvironment_data()
    {
        QTest::addColumn<QString>("configDir");
        QTest::addColumn<QString>("xdgConfigHome");
        QTest::addColumn<QString>("expected");  // relative to the temporary folder
        QTest::newRow("chosen folder wins") << "chosen/deep"
                                            << "/xdg"
                                            << "chosen/deep";
        QTest::newRow("XDG folder") << ""
                                    << "/xdg"
                                    << "xdg/quillnet";
        // A relative XDG_CONFIG_HOME is ignored, as the XDG rules say.
        QTest::newRow("relative XDG ignored") << ""
                                              << "relative"
                                              << "home/.config/quillnet";
        QTest::newRow("home") << ""
                              << ""
                              << "home/.config/quillnet";
    }

    void folderFollowsTheEnvironment()
    {
        QFETCH(QString, configDir);
        QFETCH(QString, xdgConfigHome);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const auto set = [](const char* name, const QString& value) {
            if (value.isEmpty()) {
                qunsetenv(name);
            } else {
                qputenv(name, value.toUtf8());
            }
        };
        set("QUILLNET_CONFIG_DIR", configDir.isEmpty() ? QString() : dir.filePath(configDir));
        set("XDG_CONFIG_HOME", xdgConfigHome.startsWith('/') ? dir.path() + xdgConfigHome : xdgConfigHome);
        set("HOME", dir.filePath("home"));

        const QString folder = dir.filePath(expected);
        QCOMPARE(QString::fromStdString(quillnet::qt::configFolder()), folder);
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(QString::fromStdString(quillnet::qt::configFilePath("BENCHFORM.ini")),
                 folder + "/BENCHFORM.ini");
    }
};

QTEST_GUILESS_MAIN(ConfigFolderTest)
#include "quillnet_qt_configfolder_test.moc"
