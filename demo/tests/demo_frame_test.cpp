// The frame: its one kept option, the start and end of the program, the
// navigation buttons handed to the active child, the picture's place, the
// hooks and the clock.
#include <QApplication>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <fstream>

#include "AnimationOption.h"
#include "DemoProgram.h"
#include "DemoTestFolders.h"
#include "InfoScreen.h"
#include "MailPicture.h"
#include "MainFrame.h"
#include "RecordingHostServices.h"
#include "quillnet/inifile.h"

using demo::MainFrame;
using demo::NavigationButton;

namespace {

// A child window that notes every navigation button handed to it.
class RecordingChild : public QWidget, public demo::NavigationTarget {
public:
    void navigate(NavigationButton button) override { received.push_back(button); }
    std::vector<NavigationButton> received;
};

// The frame of a test with its own host services, state and database.
struct FrameFixture {
    DemoTestFolders folders;
    quillnet::RecordingHostServices host;
    demo::ErrorManager errors{host};
    demo::ProgramState state;
    std::unique_ptr<demo::data::ContactDatabase> database = folders.openDatabase();

    std::unique_ptr<MainFrame> frame(demo::FrameHooks hooks = {})
    {
        return std::make_unique<MainFrame>(*database, errors, state, std::move(hooks),
                                           folders.configFile(demo::kAnimationIniFileName));
    }
};

QAction* actionNamed(QWidget& where, const QString& text)
{
    for (QAction* action : where.findChildren<QAction*>()) {
        if (action->text() == text) return action;
    }
    return nullptr;
}

}  // namespace

class FrameTest : public QObject {
    Q_OBJECT

private slots:
    void animationOptionIsReadOnOpenAndWrittenOnClose_data()
    {
        QTest::addColumn<QString>("fileText");  // empty: no file at all
        QTest::addColumn<bool>("animated");
        QTest::addColumn<QString>("written");
        QTest::newRow("no file") << "" << true << "Yes";
        QTest::newRow("Yes") << "[Options]\nAnimation=Yes\n" << true << "Yes";
        QTest::newRow("trailing blanks") << "[Options]\nAnimation=\"Yes  \"\n" << true << "Yes";
        QTest::newRow("empty value") << "[Options]\nAnimation=\n" << true << "Yes";
        QTest::newRow("other section") << "[Other]\nAnimation=No\n" << true << "Yes";
        QTest::newRow("lower case") << "[Options]\nAnimation=yes\n" << false << "No";
        QTest::newRow("no") << "[Options]\nAnimation=no\n" << false << "No";
        QTest::newRow("zero") << "[Options]\nAnimation=0\n" << false << "No";
        // Only the first 32 characters count: what follows the blanks is cut.
        QTest::newRow("long value") << "[Options]\nAnimation=\"Yes" + QString(29, ' ') + "and more\"\n"
                                    << true << "Yes";
        QTest::newRow("leading text") << "[Options]\nAnimation=YesPlease\n" << false << "No";
    }

    void animationOptionIsReadOnOpenAndWrittenOnClose()
    {
        QFETCH(QString, fileText);
        QFETCH(bool, animated);
        QFETCH(QString, written);
        FrameFixture fixture;
        QVERIFY(fixture.database);
        const std::string path = fixture.folders.configFile(demo::kAnimationIniFileName);
        if (!fileText.isEmpty()) std::ofstream(path) << fileText.toStdString();

        auto frame = fixture.frame();
        QCOMPARE(frame->isAnimated(), animated);
        QCOMPARE(frame->picture()->pictureName(), animated ? "~email3l.gif" : "~email3ln.gif");
        QVERIFY(frame->close());
        QCOMPARE(QString::fromStdString(quillnet::readProfileString(path, "Options", "Animation", "?")),
                 written);
    }

    void togglingAnimationIsWrittenAndSwapsThePicture()
    {
        FrameFixture fixture;
        QVERIFY(fixture.database);
        auto frame = fixture.frame();
        QVERIFY(frame->isAnimated());
        QAction* animation = actionNamed(*frame, "Animation");
        QVERIFY(animation && animation->isChecked());
        animation->trigger();
        QCOMPARE(frame->picture()->pictureName(), QStringLiteral("~email3ln.gif"));
        QVERIFY(frame->close());
        QVERIFY(!demo::readAnimationOption(fixture.folders.configFile(demo::kAnimationIniFileName)));
    }

    void programStartsAndEndsInOrder()
    {
        DemoTestFolders folders;
        quillnet::RecordingHostServices host;
        QStringList steps;
        bool greeted = false;
        // Closes the frame once the greeting is up.
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                if (window->objectName() == "InfoScreen" && window->isVisible()) greeted = true;
            }
            if (!greeted) return;
            for (QWidget* window : QApplication::topLevelWidgets()) {
                if (auto* frame = qobject_cast<MainFrame*>(window)) frame->close();
            }
        });
        poll.start(20);
        const int status = demo::DemoProgram(host, {}, [&](const QString& step) { steps << step; }).run();
        poll.stop();

        QCOMPARE(status, 0);
        QVERIFY(greeted);
        QCOMPARE(steps,
                 QStringList({"error manager started", "demo.INI opened", "data opened", "frame opened",
                              "frame closed", "demo.INI written", "data closed", "error manager stopped"}));
        QCOMPARE(QString::fromStdString(quillnet::readProfileString(
                     folders.configFile("demo.INI"), "__Dont_Touch_Me__", "Sectors", "missing")),
                 QString());
        QVERIFY(host.boxes().empty());
    }

    void dataThatCannotBeCreatedEndsTheProgram()
    {
        DemoTestFolders folders;
        // A file where the data folder should be: the folder cannot be made.
        std::ofstream(folders.root.filePath("blocker").toStdString()) << "x";
        qputenv("QUILLNET_DATA_DIR", folders.root.filePath("blocker/data").toUtf8());
        quillnet::RecordingHostServices host;
        QStringList steps;
        const int status = demo::DemoProgram(host, {}, [&](const QString& step) { steps << step; }).run();

        QCOMPARE(status, 1);
        QVERIFY(!steps.contains("frame opened"));
        QCOMPARE(steps.last(), QStringLiteral("error manager stopped"));
        QCOMPARE(host.boxes().size(), size_t(1));
        QVERIFY(QString::fromStdString(host.boxes()[0].text).contains("blocker"));
    }

    void navigationGoesToTheActiveChildOnly()
    {
        FrameFixture fixture;
        QVERIFY(fixture.database);
        auto frame = fixture.frame();
        frame->show();
        auto* target = new RecordingChild;
        QMdiSubWindow* targetWindow = frame->workArea()->addSubWindow(target);
        QMdiSubWindow* plainWindow = frame->workArea()->addSubWindow(new QWidget);
        targetWindow->show();
        plainWindow->show();

        frame->workArea()->setActiveSubWindow(targetWindow);
        frame->navigationAction(NavigationButton::NextRecord)->trigger();
        frame->navigationAction(NavigationButton::PreviousValue)->trigger();
        frame->workArea()->setActiveSubWindow(plainWindow);
        frame->navigationAction(NavigationButton::Delete)->trigger();  // a child without records: ignored
        QCOMPARE(target->received, (std::vector<NavigationButton>{NavigationButton::NextRecord,
                                                                  NavigationButton::PreviousValue}));

        // Every one of the thirteen buttons reaches the child as itself.
        frame->workArea()->setActiveSubWindow(targetWindow);
        target->received.clear();
        for (int i = 0; i <= int(NavigationButton::Help); ++i)
            frame->navigationAction(NavigationButton(i))->trigger();
        QCOMPARE(int(target->received.size()), int(NavigationButton::Help) + 1);
        for (int i = 0; i <= int(NavigationButton::Help); ++i) QCOMPARE(int(target->received[i]), i);
    }

    void pictureRule_data()
    {
        QTest::addColumn<int>("closeRight");
        QTest::addColumn<int>("frameWidth");
        QTest::addColumn<int>("expected");
        QTest::newRow("wide frame: right end") << 600 << 900 << 900 - 44 - 5;
        QTest::newRow("just fits") << 851 << 900 << 851;
        QTest::newRow("narrow frame: after the button") << 600 << 300 << 600;
    }

    void pictureRule()
    {
        QFETCH(int, closeRight);
        QFETCH(int, frameWidth);
        QFETCH(int, expected);
        QCOMPARE(demo::pictureX(closeRight, frameWidth, 44), expected);
    }

    void pictureFollowsTheFrameAndNeverCoversTheButtons()
    {
        FrameFixture fixture;
        QVERIFY(fixture.database);
        auto frame = fixture.frame();
        frame->resize(1400, 500);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        demo::MailPicture* picture = frame->picture();
        QTRY_COMPARE(picture->x(), frame->width() - picture->width() - 5);
        QVERIFY(picture->x() >= frame->closeButtonRight());

        frame->resize(250, 500);
        QTRY_COMPARE(frame->width(), 250);
        QTRY_COMPARE(picture->x(), frame->closeButtonRight());
        QVERIFY(picture->x() > frame->width() - picture->width() - 5);

        actionNamed(*frame, "Animation")->trigger();  // re-placed with the still picture
        QCOMPARE(picture->x(), frame->closeButtonRight());
    }

    void hooksAreEnabledOnlyWhenSet()
    {
        FrameFixture fixture;
        QVERIFY(fixture.database);
        int emailRuns = 0;
        demo::FrameHooks hooks;
        hooks.email = [&](MainFrame& frame) {
            QCOMPARE(&frame.state(), &fixture.state);
            ++emailRuns;
        };
        auto frame = fixture.frame(hooks);
        QAction* email = actionNamed(*frame, "Email");
        QVERIFY(email->isEnabled());
        email->trigger();
        QCOMPARE(emailRuns, 1);
        for (const char* unset : {"Persons", "Import persons...", "Export persons..."})
            QVERIFY2(!actionNamed(*frame, unset)->isEnabled(), unset);
    }

    void displayNameIsOffAtStartAndShowsBothOrders()
    {
        FrameFixture fixture;
        QVERIFY(fixture.database);
        fixture.state.setLastNameFirst(false);
        auto frame = fixture.frame();
        QAction* displayName = actionNamed(*frame, "Display name");
        QVERIFY(!displayName->isChecked());
        QCOMPARE(displayName->statusTip(), QStringLiteral("Jan van Dijk / Dijk, Jan van"));
        displayName->trigger();
        QVERIFY(fixture.state.lastNameFirst());
    }

    void statusBarShowsDateAndTime()
    {
        FrameFixture fixture;
        QVERIFY(fixture.database);
        auto frame = fixture.frame();
        const QString today = QDate::currentDate().toString("dd/MM/yyyy");
        QCOMPARE(frame->findChild<QLabel*>("date")->text(), today);
        QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d$")
                    .match(frame->findChild<QLabel*>("time")->text())
                    .hasMatch());
    }

    void infoScreenGoesWhenItLosesTheFocusAndOpensTheWebAddress()
    {
        FrameFixture fixture;
        QVERIFY(fixture.database);
        auto frame = fixture.frame();
        QList<QUrl> opened;
        frame->setUrlOpener([&](const QUrl& url) { opened << url; });
        frame->show();
        QPointer<demo::InfoScreen> info = frame->openInfoScreen();
        QVERIFY(QTest::qWaitForWindowActive(info));
        info->findChild<QPushButton*>("webAddress")->click();
        QCOMPARE(opened, QList<QUrl>{QUrl("https://quillnet.example.org/")});
        QVERIFY(info);  // pressing inside keeps it

        frame->activateWindow();  // a click elsewhere in the frame
        QTRY_VERIFY(info.isNull());
    }

    void editMenuWorksOnTheFocusedControl()
    {
        FrameFixture fixture;
        QVERIFY(fixture.database);
        auto frame = fixture.frame();
        frame->show();
        QVERIFY(QTest::qWaitForWindowActive(frame.get()));
        auto* edit = new QLineEdit("cut me");
        frame->addChildWindow(edit);
        edit->setFocus();
        QTRY_VERIFY(edit->hasFocus());
        edit->selectAll();
        actionNamed(*frame, "Cu&t")->trigger();
        QCOMPARE(edit->text(), QString());
        actionNamed(*frame, "&Paste")->trigger();
        actionNamed(*frame, "&Paste")->trigger();
        QCOMPARE(edit->text(), QStringLiteral("cut mecut me"));
    }

    void helpOpensOurPages()
    {
        FrameFixture fixture;
        QVERIFY(fixture.database);
        auto frame = fixture.frame();
        QList<QUrl> opened;
        frame->setUrlOpener([&](const QUrl& url) { opened << url; });
        actionNamed(*frame, "&Contents")->trigger();
        actionNamed(*frame, "&How to Use Help")->trigger();
        QCOMPARE(opened.size(), 2);
        QVERIFY(QFileInfo::exists(opened[0].toLocalFile()));
        QCOMPARE(opened[1].fragment(), QStringLiteral("using-help"));
    }
};

QTEST_MAIN(FrameTest)
#include "demo_frame_test.moc"
