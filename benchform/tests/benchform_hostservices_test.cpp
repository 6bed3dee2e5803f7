// The Qt host services: dialogs as the user sees them, also when a send
// thread asks for them, with each modal dialog answered by a timer.
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <thread>

#include "QtHostServices.h"

using quillnet::MessageAnswer;
using quillnet::MessageButtons;
using quillnet::MessageIcon;

namespace {

// Runs `answer` on the modal dialog of type Dialog as soon as one is open.
template <typename Dialog>
void answerWhenOpen(std::function<void(Dialog&)> answer)
{
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            answer(*dialog);
        }
    });
    poll->start(10);
}

}  // namespace

class QtHostServicesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setApplicationDisplayName(QStringLiteral("benchform")); }

    void filtersBecomeQtNameFilters()
    {
        QCOMPARE(benchform::qtNameFilters("All Files|*.*"), QStringList{"All Files (*)"});
        QCOMPARE(benchform::qtNameFilters("Text|*.txt|All Files|*.*"),
                 QStringList({"Text (*.txt)", "All Files (*)"}));
        QCOMPARE(benchform::qtNameFilters("Text|*.txt|Lonely"),
                 QStringList{"Text (*.txt)"});  // name without pattern
        QCOMPARE(benchform::qtNameFilters(""), QStringList{});
    }

    void messageBoxFromASendThreadOpensOnTheWindowThread()
    {
        benchform::QtHostServices host;
        QString shownText, shownTitle;
        QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
        bool onWindowThread = false;
        answerWhenOpen<QMessageBox>([&](QMessageBox& box) {
            shownText = box.text();
            shownTitle = box.windowTitle();
            shownIcon = box.icon();
            onWindowThread = QThread::currentThread() == qApp->thread();
            box.button(QMessageBox::No)->click();
        });
        MessageAnswer answer = MessageAnswer::Ok;
        std::thread sender([&] {
            answer = host.messageBox("Error sending E-Mail!|Mail Server Error:\r550 no", "",
                                     MessageIcon::Question, MessageButtons::YesNo);
        });
        QTRY_VERIFY(!shownText.isEmpty());
        sender.join();
        QCOMPARE(shownText, QStringLiteral("Error sending E-Mail!\nMail Server Error:\n550 no"));
        QCOMPARE(shownTitle, QStringLiteral("benchform"));
        QCOMPARE(shownIcon, QMessageBox::Question);
        QVERIFY(onWindowThread);
        QCOMPARE(int(answer), int(MessageAnswer::No));
    }

    void messageBoxOnTheWindowThreadShowsItsCaption()
    {
        benchform::QtHostServices host;
        QString shownTitle;
        answerWhenOpen<QMessageBox>([&](QMessageBox& box) {
            shownTitle = box.windowTitle();
            box.accept();
        });
        const MessageAnswer answer =
            host.messageBox("Mail Send OK!", "Internet Mail", MessageIcon::Information, MessageButtons::Ok);
        QCOMPARE(shownTitle, QStringLiteral("Internet Mail"));
        QCOMPARE(int(answer), int(MessageAnswer::Ok));
    }

    void fileDialogStartsWhereAskedAndReportsCancel()
    {
        QTemporaryDir dir;
        QFile proposed(dir.filePath("mdi.bmp"));
        QVERIFY(proposed.open(QIODevice::WriteOnly));
        proposed.close();
        benchform::QtHostServices host;
        const quillnet::FileDialogRequest request{"Select A File", "All Files|*.*", dir.path().toStdString(),
                                                  "mdi.bmp"};

        QString title;
        answerWhenOpen<QFileDialog>([&](QFileDialog& dialog) {
            title = dialog.windowTitle();
            static_cast<QDialog&>(dialog).accept();  // takes the proposed file
        });
        const std::optional<std::string> chosen = host.chooseFile(request);
        QCOMPARE(title, QStringLiteral("Select A File"));
        QVERIFY(chosen.has_value());
        QCOMPARE(QString::fromStdString(*chosen), dir.filePath("mdi.bmp"));

        answerWhenOpen<QFileDialog>([](QFileDialog& dialog) { dialog.reject(); });
        QVERIFY(!host.chooseFile(request).has_value());
    }
};

QTEST_MAIN(QtHostServicesTest)
#include "benchform_hostservices_test.moc"
