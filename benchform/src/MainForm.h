// MAIN: the test form. Three tabs with every value a mail can carry, kept in
// "BENCHFORM.ini" between runs, and two buttons that send one mail with these
// values, with the progress window or plainly.
//
// Closing writes the file at once. Sends still running are never cut off:
// the form then says it is waiting, and closes when the last one has ended.
#ifndef BENCHFORM_MAINFORM_H
#define BENCHFORM_MAINFORM_H

#include <QWidget>
#include <string>

#include "BenchValues.h"
#include "SendCheck.h"
#include "quillnet/hostservices.h"
#include "quillnet/wrenpostclass.h"

class QFormLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace benchform {

class BeepingSpinBox;

class MainForm : public QWidget {
    Q_OBJECT

public:
    // Reads the values from `iniPath` (GETINI) and shows them.
    MainForm(quillnet::HostServices& host, std::string iniPath, QWidget* parent = nullptr);

    // The values on screen, as a send or PUTINI takes them.
    BenchValues values() const;

    int runningSends() const { return runningSends_; }

    // Sends started from now on call `entry` instead of the library.
    void setLibraryEntry(quillnet::WRENPOSTCLASS::LibraryEntry entry) { libraryEntry_ = entry; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* buildRequiredTab();
    QWidget* buildOptionalTab();
    QWidget* buildExtensionTab();
    QLineEdit* addEntry(QFormLayout* layout, const char* label, const char* variable, int width,
                        const char* toolTip);
    BeepingSpinBox* addSpinBox(QFormLayout* layout, const char* label, const char* variable, int maximum,
                               const char* toolTip);

    void showValues(const BenchValues& values);
    void chooseAttachFile();
    void limitMessageText();
    // Takes the values, checks them, and opens the send window when they hold.
    void startSend(bool withProgress);
    void focusField(QWidget* field);
    QWidget* fieldFor(CheckedField field) const;
    void sendWindowGone();
    void showWaitingNotice();

    quillnet::HostServices& host_;
    std::string iniPath_;
    quillnet::WRENPOSTCLASS::LibraryEntry libraryEntry_ = nullptr;
    int runningSends_ = 0;
    bool iniWritten_ = false;
    bool closeWhenIdle_ = false;

    QTabWidget* tabs_;
    QLineEdit* mailHost_;
    QLineEdit* senderName_;
    QLineEdit* recipientAddress_;
    QLineEdit* subject_;
    QPlainTextEdit* messageText_;
    QLineEdit* mailer_;
    QLineEdit* replyTo_;
    QLineEdit* organization_;
    QLineEdit* senderAddress_;
    QLineEdit* recipientName_;
    QLineEdit* groupName_;
    QLineEdit* attachFile_;
    QLineEdit* user_;
    QLineEdit* password_;
    QLineEdit* returnPath_;
    BeepingSpinBox* priority_;
    BeepingSpinBox* messageType_;
    QLineEdit* debugFile_;
    QPushButton* sendExt_;
    QPushButton* sendCode_;
    QPushButton* close_;
    QLabel* waitingNotice_;
};

}  // namespace benchform

#endif
