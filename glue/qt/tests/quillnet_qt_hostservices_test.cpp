// The Qt host services: dialogs as the user sees them, also when a send
// thread asks for them, with each modal dialog answered by a timer.
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <thread>

#include "quillnet/qt/QtHostServices.h"

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
    void initTestCase() { QApplication::setApplicationDisplayName(QStringLiteral("quillnet")); }

    void filtersBecomeQtNameFilters()
    {
        QCOMPARE(quillnet::qt::qtNameFilters("All Files|*.*"), QStringList{"All Files (*)"});
        QCOMPARE(quillnet::qt::qtNameFilters("Text|*.txt|All Files|*.*"),
                 QStringList({"Text (*.txt)", "All Files (*)"}));
        QCOMPARE(quillnet::qt::qtNameFilters("Text|*.txt|Lonely"),
                 QStringList{"Text (*.txt)"});  // name without pattern
        QCOMPARE(quillnet::qt::qtNameFilters(""), QStringList{});
        QCOMPARE(quillnet::qt::qtNameFilters("Html bestanden|*.htm;*.html"),
                 QStringList{"Html bestanden (*.htm *.html)"});
    }

    void messageBoxesOpenOnTheWindowThreadWithTheirCaption()
    {
        quillnet::qt::QtHostServices host;
        QString shown;
        bool onWindowThread = false;
        // Answers No where there is a No, else OK; notes text, title and icon.
        const auto answer = [&](QMessageBox& box) {
            shown = box.text() + "/" + box.windowTitle() + "/" + QString::number(box.icon());
            onWindowThread = QThread::currentThread() == qApp->thread();
            box.button(box.button(QMessageBox::No) ? QMessageBox::No : QMessageBox::Ok)->click();
        };
        answerWhenOpen<QMessageBox>(answer);
        MessageAnswer answered = MessageAnswer::Ok;
        std::thread sender([&] {
            answered = host.messageBox("Error sending E-Mail!|Mail Server Error:\r550 no", "",
                                       MessageIcon::Question, MessageButtons::YesNo);
        });
        QTRY_VERIFY(!shown.isEmpty());
        sender.join();
        QCOMPARE(shown, QString("Error sending E-Mail!\nMail Server Error:\n550 no/quillnet/%1")
                            .arg(QMessageBox::Question));
        QVERIFY(onWindowThread);
        QCOMPARE(int(answered), int(MessageAnswer::No));

        // Called on the window thread itself, with a caption of its own.
        answerWhenOpen<QMessageBox>(answer);
        answered =
            host.messageBox("Mail Send OK!", "Internet Mail", MessageIcon::Information, MessageButtons::Ok);
        QCOMPARE(shown, QString("Mail Send OK!/Internet Mail/%1").arg(QMessageBox::Information));
        QCOMPARE(int(answered), int(MessageAnswer::Ok));
    }

    void aQuestionCanMakeNoItsDefault()
    {
        quillnet::qt::QtHostServices host;
        QString defaultText;
        answerWhenOpen<QMessageBox>([&](QMessageBox& box) {
            defaultText = box.defaultButton() ? box.defaultButton()->text() : QString();
            box.defaultButton()->click();  // what Enter does
        });
        const MessageAnswer answered = host.messageBoxWithDefault(
            "Send mail to everyone?", "Message", MessageIcon::Exclamation, MessageButtons::YesNo, MessageAnswer::No);
        QCOMPARE(int(answered), int(MessageAnswer::No));
        QVERIFY(!defaultText.isEmpty());
    }

    void fileDialogStartsWhereAskedAndReportsCancel()
    {
        QTemporaryDir dir;
        QFile proposed(dir.filePath("mdi.bmp"));
        QVERIFY(proposed.open(QIODevice::WriteOnly));
        proposed.close();
        quillnet::qt::QtHostServices host;
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

    void fileDialogForSavingTakesANewName()
    {
        QTemporaryDir dir;
        quillnet::qt::QtHostServices host;
        quillnet::FileDialogRequest request{"Export persons", "CSV files|*.csv", dir.path().toStdString(),
                                            "persons.csv"};
        request.forSaving = true;
        bool saving = false;
        answerWhenOpen<QFileDialog>([&](QFileDialog& dialog) {
            saving =
                dialog.acceptMode() == QFileDialog::AcceptSave && dialog.fileMode() == QFileDialog::AnyFile;
            static_cast<QDialog&>(dialog).accept();
        });
        const std::optional<std::string> chosen = host.chooseFile(request);
        QVERIFY(saving);
        QVERIFY(chosen.has_value());
        QCOMPARE(QString::fromStdString(*chosen), dir.filePath("persons.csv"));
    }

    void passwordQuestionHidesWhatIsTypedAndReportsCancel()
    {
        quillnet::qt::QtHostServices host;
        QString shown;
        bool hidden = false;
        answerWhenOpen<QInputDialog>([&](QInputDialog& dialog) {
            shown = dialog.labelText() + "/" + dialog.windowTitle();
            hidden = dialog.textEchoMode() == QLineEdit::Password;
            dialog.setTextValue(QStringLiteral("pass word "));
            dialog.accept();
        });
        std::optional<std::string> typed;
        std::thread sender([&] { typed = host.askPassword("Password of ann:", "Mail login"); });
        QTRY_VERIFY(!shown.isEmpty());
        sender.join();
        QCOMPARE(shown, QStringLiteral("Password of ann:/Mail login"));
        QVERIFY(hidden);
        QCOMPARE(typed, std::optional<std::string>("pass word "));

        answerWhenOpen<QInputDialog>([](QInputDialog& dialog) { dialog.reject(); });
        QCOMPARE(host.askPassword("Password of ann:", ""), std::optional<std::string>());
    }
};

QTEST_MAIN(QtHostServicesTest)
#include "quillnet_qt_hostservices_test.moc"
