// The test form: first run, the checks before a send, the spin boxes, the
// attach-file dialog and closing, with every dialog answered by the
// recording host services.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "MainForm.h"
#include "RecordingHostServices.h"

using benchform::MainForm;
using quillnet::RecordingHostServices;

namespace {

// A library stand-in that holds each send until the test lets it go.
std::atomic<bool> gReleaseSends{false};
std::atomic<int> gSendsEntered{0};

int32_t heldSend(WRENPOSTDATA*)
{
    ++gSendsEntered;
    while (!gReleaseSends) QThread::msleep(5);
    return 0;
}

// A library stand-in that keeps the server and login of each job.
std::mutex gLoginsMutex;
std::vector<std::string> gLogins;

int32_t loginSend(WRENPOSTDATA* job)
{
    std::lock_guard<std::mutex> lock(gLoginsMutex);
    gLogins.push_back(std::string(job->MAILHOST) + "|" + job->USERNAME + "|" + job->USERPASSWORD);
    return 0;
}

}  // namespace

class BenchFormTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    std::string iniPath() const { return (dir_.path() + "/BENCHFORM.ini").toStdString(); }

    template <typename Widget>
    static Widget* field(MainForm& form, const char* name)
    {
        auto* widget = form.findChild<Widget*>(QString::fromLatin1(name));
        if (widget == nullptr) qFatal("no field %s", name);
        return widget;
    }
    static QPushButton* button(MainForm& form, const QString& text)
    {
        for (QPushButton* candidate : form.findChildren<QPushButton*>()) {
            if (candidate->text() == text) return candidate;
        }
        qFatal("no button %s", qPrintable(text));
    }
    static std::string readFile(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

private slots:
    void init() { QFile::remove(QString::fromStdString(iniPath())); }

    void firstRunShowsDefaultsRefusesAnEmptyMessageAndHelpsFillTheFields()
    {
        RecordingHostServices host;
        MainForm form(host, iniPath());
        QCOMPARE(form.windowTitle(), QStringLiteral("'Larkwire Template' test-application C5 (32-bit)"));
        QCOMPARE(field<QLineEdit>(form, "MAILHOST")->text(), QStringLiteral("[my mailhost]"));
        QCOMPARE(field<QLineEdit>(form, "SUBJECT")->text(), QStringLiteral("Testmessage C5"));
        QCOMPARE(field<QSpinBox>(form, "MESSAGETYPE")->value(), 6);
        QCOMPARE(field<QSpinBox>(form, "PRIORITY")->value(), 3);

        button(form, "SendExt")->click();
        button(form, "SendCode")->click();
        const auto boxes = host.boxes();
        QCOMPARE(int(boxes.size()), 2);
        for (const auto& box : boxes) {
            QCOMPARE(box.text + "/" + box.caption, std::string("No message/Message"));
            QCOMPARE(int(box.icon), int(quillnet::MessageIcon::Question));
            QCOMPARE(int(box.buttons), int(quillnet::MessageButtons::Ok));
        }
        QCOMPARE(form.runningSends(), 0);

        auto* text = field<QPlainTextEdit>(form, "MESSAGETEXT");
        text->setPlainText(QString(2000, QLatin1Char('a')) + "bcd");
        QCOMPARE(text->toPlainText(), QString(2000, QLatin1Char('a')));
        QCOMPARE(host.beeps(), 1);

        auto* attach = field<QLineEdit>(form, "ATTACHFILE");
        host.answerNextFileDialog("/tmp/chosen.bin");
        field<QPushButton>(form, "ATTACHFILEBROWSE")->click();
        QCOMPARE(attach->text(), QStringLiteral("/tmp/chosen.bin"));
        field<QPushButton>(form, "ATTACHFILEBROWSE")->click();  // no answer queued: the user cancels
        QVERIFY(attach->text().isEmpty());
        const auto requests = host.fileRequests();
        QCOMPARE(int(requests.size()), 2);
        QCOMPARE(requests[0].title + "|" + requests[0].filters + "|" + requests[0].startDirectory + "|" +
                     requests[0].proposedName,
                 std::string("Select A File|All Files|*.*|/tmp|mdi.bmp"));
    }

    void checksStopAtTheFirstFailureAndFocusItsField_data()
    {
        QTest::addColumn<QStringList>("blanked");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focused");
        QTest::newRow("host first") << QStringList{"MAILHOST", "MESSAGETEXT"} << "No Host"
                                    << "MAILHOST";
        QTest::newRow("sender") << QStringList{"SENDERNAME"} << "No sender"
                                << "SENDERNAME";
        QTest::newRow("subject before receiver") << QStringList{"RECIPIENTADDRESS", "SUBJECT"} << "No subject"
                                                 << "SUBJECT";
        QTest::newRow("receiver") << QStringList{"RECIPIENTADDRESS"} << "No receiver"
                                  << "RECIPIENTADDRESS";
        QTest::newRow("blank message") << QStringList{"MESSAGETEXT"} << "No message"
                                       << "MESSAGETEXT";
    }

    void checksStopAtTheFirstFailureAndFocusItsField()
    {
        QFETCH(QStringList, blanked);
        QFETCH(QString, message);
        QFETCH(QString, focused);
        RecordingHostServices host;
        MainForm form(host, iniPath());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        field<QPlainTextEdit>(form, "MESSAGETEXT")->setPlainText("hello");
        for (const QString& name : blanked) {  // blanks count as empty
            if (name == "MESSAGETEXT")
                field<QPlainTextEdit>(form, "MESSAGETEXT")->setPlainText("   ");
            else
                field<QLineEdit>(form, name.toLatin1().constData())->setText("   ");
        }
        auto* tabs = form.findChild<QTabWidget*>();
        tabs->setCurrentIndex(2);  // the check must bring the field's tab back to the front

        button(form, "SendCode")->click();
        QCOMPARE(int(host.boxes().size()), 1);
        QCOMPARE(QString::fromStdString(host.boxes()[0].text), message);
        QCOMPARE(tabs->currentIndex(), 0);
        QVERIFY(form.focusWidget() != nullptr);
        QCOMPARE(form.focusWidget()->objectName(), focused);
        QCOMPARE(form.runningSends(), 0);
    }

    void spinBoxesRefuseValuesOutsideTheirRange()
    {
        RecordingHostServices host;
        MainForm form(host, iniPath());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.findChild<QTabWidget*>()->setCurrentIndex(2);
        // In order, each starting from the value the one before left.
        const struct {
            const char* name;
            QString typed;
            int value;
            bool beeps;
        } cases[] = {
            {"PRIORITY", "4", 3, true},    {"PRIORITY", "10", 1, true},   {"PRIORITY", "2", 2, false},
            {"MESSAGETYPE", "9", 6, true}, {"MESSAGETYPE", "x", 6, true}, {"MESSAGETYPE", "8", 8, false},
        };
        for (const auto& c : cases) {
            auto* spin = field<QSpinBox>(form, c.name);
            const int beepsBefore = host.beeps();
            spin->setFocus();
            spin->selectAll();
            QTest::keyClicks(spin, c.typed);
            QTest::keyClick(spin, Qt::Key_Return);
            QCOMPARE(spin->value(), c.value);
            QCOMPARE(host.beeps() > beepsBefore, c.beeps);
            QCOMPARE(form.focusWidget(), static_cast<QWidget*>(spin));
        }
    }

    void closingWritesTheValuesOnScreen()
    {
        {
            RecordingHostServices host;
            MainForm form(host, iniPath());
            form.show();
            field<QLineEdit>(form, "MAILHOST")->setText("smtp.example.org");
            field<QLineEdit>(form, "SUBJECT")->setText("typed subject");
            field<QPlainTextEdit>(form, "MESSAGETEXT")->setPlainText("line one\nline two");
            field<QSpinBox>(form, "PRIORITY")->setValue(1);
            QVERIFY(form.close());
            QVERIFY(host.boxes().empty());
        }
        // The subject is written but never read back.
        QVERIFY(readFile(iniPath()).find("Subject=typed subject\r\n") != std::string::npos);

        RecordingHostServices host;
        MainForm again(host, iniPath());
        QCOMPARE(field<QLineEdit>(again, "MAILHOST")->text(), QStringLiteral("smtp.example.org"));
        QCOMPARE(field<QPlainTextEdit>(again, "MESSAGETEXT")->toPlainText(),
                 QStringLiteral("line one\nline two"));
        QCOMPARE(field<QSpinBox>(again, "PRIORITY")->value(), 1);
    }

    void loginGoesToBothSendsButNeverToTheIniFile()
    {
        const std::string password = "s3cret pass ";
        // As long a URL as the library takes: it must reach the sends and the INI file whole.
        std::string url = "smtp+starttls://" + std::string(60, 's') + ".";
        url += std::string(127 - url.size() - 13, 'r') + ".example:4650";
        QCOMPARE(url.size(), size_t(127));
        {
            RecordingHostServices host;
            MainForm form(host, iniPath());
            form.setLibraryEntry(&loginSend);
            form.show();
            QCOMPARE(field<QLineEdit>(form, "PASSWORD")->echoMode(), QLineEdit::Password);
            field<QLineEdit>(form, "MAILHOST")->setText(QString::fromStdString(url));
            field<QLineEdit>(form, "USER")->setText("ann");
            field<QLineEdit>(form, "PASSWORD")->setText(QString::fromStdString(password));
            field<QLineEdit>(form, "RECIPIENTADDRESS")->setText("bob@example.org");
            field<QPlainTextEdit>(form, "MESSAGETEXT")->setPlainText("hello");
            {
                std::lock_guard<std::mutex> lock(gLoginsMutex);
                gLogins.clear();
            }
            button(form, "SendExt")->click();
            button(form, "SendCode")->click();
            QTRY_COMPARE(form.runningSends(), 0);
            QTRY_VERIFY(form.close());
        }
        {
            std::lock_guard<std::mutex> lock(gLoginsMutex);
            const std::string expected = url + "|ann|" + password;
            QCOMPARE(gLogins, (std::vector<std::string>{expected, expected}));
        }
        const std::string ini = readFile(iniPath());
        QVERIFY(ini.find("MailHost=" + url + "\r\n") != std::string::npos);
        QVERIFY2(ini.find("s3cret") == std::string::npos, ini.c_str());

        RecordingHostServices host;
        MainForm again(host, iniPath());
        QCOMPARE(field<QLineEdit>(again, "MAILHOST")->text().toStdString(), url);
        QCOMPARE(field<QLineEdit>(again, "PASSWORD")->text(), QString());
    }

    void closingWaitsForRunningSends()
    {
        gReleaseSends = false;
        gSendsEntered = 0;
        RecordingHostServices host;
        MainForm form(host, iniPath());
        form.setLibraryEntry(&heldSend);
        form.show();
        field<QLineEdit>(form, "RECIPIENTADDRESS")->setText("bob@example.org");
        field<QPlainTextEdit>(form, "MESSAGETEXT")->setPlainText("hello");
        button(form, "SendExt")->click();
        button(form, "SendCode")->click();
        QCOMPARE(form.runningSends(), 2);
        QTRY_COMPARE(gSendsEntered.load(), 2);

        QVERIFY(!form.close());
        QVERIFY(form.isVisible());
        QVERIFY(form.findChild<QLabel*>("waitingNotice")->isVisible());
        QVERIFY(!button(form, "SendExt")->isEnabled());
        // Written at the close event already.
        QVERIFY(readFile(iniPath()).find("[Bench-Form 2]") != std::string::npos);
        QVERIFY(host.boxes().empty());

        gReleaseSends = true;
        QTRY_VERIFY(!form.isVisible());
        QCOMPARE(form.runningSends(), 0);
        const auto boxes = host.boxes();
        QCOMPARE(int(boxes.size()), 2);
        for (const auto& box : boxes) QCOMPARE(box.text, std::string("Mail Send OK!"));
    }
};

QTEST_MAIN(BenchFormTest)
#include "benchform_form_test.moc"
