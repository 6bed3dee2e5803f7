// "Create and send message": the user picks the receivers (everyone, one
// group or one person) from the tree, writes a subject and a message or names
// an HTML file, and sends one mail with the listed attachments. A mail to
// many goes out in batches on a send thread, recorded in the send journal;
// the window stays responsive throughout and keeps its values for the next
// send.
#ifndef DEMO_EMAILWINDOW_H
#define DEMO_EMAILWINDOW_H

#include <QDialog>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

#include "MailContent.h"
#include "MassSend.h"
#include "demo/data/ContactDatabase.h"
#include "quillnet/hostservices.h"
#include "quillnet/wrenpostclass.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;
class QTreeView;
class QStandardItemModel;

namespace demo {

namespace data {
struct SendRecord;
struct BatchRecord;
}  // namespace data
class ProgramState;

// A recorded send as the report shows it: batches not sent (failed, never
// started, or cut off while sending) count as failed.
SendOutcome outcomeFromJournal(const data::SendRecord& send, const std::vector<data::BatchRecord>& batches);

class ReceiverTreeModel;

class EmailWindow : public QDialog {
    Q_OBJECT

public:
    struct Services {
        const data::ContactDatabase& db;
        quillnet::HostServices& host;
        std::function<bool()> lastNameFirst;          // the frame's "Display name" option
        std::function<void(QWidget*)> addAttachment;  // the attachment form, for "&Insert"
        // Where the program shares the open window's mail object, the send's
        // percentage and its result; may be null.
        ProgramState* state = nullptr;
    };

    explicit EmailWindow(Services services, QWidget* parent = nullptr);
    ~EmailWindow() override;

    // Another entry point than the library's, for checks that deliver nothing.
    void setLibraryEntry(quillnet::WRENPOSTCLASS::LibraryEntry entry);

    // The receiver as the tree's selection set it.
    bool everyone() const { return everyone_; }
    qint16 selectedGroup() const { return selectedGroup_; }
    QString receiverDescription() const { return receiverDescription_; }

    QTreeView* receiverTree() const { return tree_; }
    ReceiverTreeModel* receiverModel() const { return treeModel_; }
    QTreeView* attachmentList() const { return attachments_; }
    // The last report window, while it is open.
    class SendReportWindow* reportWindow() const;

    // Results of the last send, for the program's result code.
    int lastResult() const { return lastResult_; }

public slots:
    void send();
    void sendTestToMe();
    // The report of the newest recorded send, also one of an earlier run of
    // the program, so its failed batches can be sent again.
    void showLastSendReport();
    void rebuildReceiverTree();  // keeps the selection by level and record
    void applyHtmlFlag();
    void pickHtmlFile();
    void insertAttachment();
    void deleteAttachment();

protected:
    bool event(QEvent* event) override;
    void done(int result) override;

private:
    void selectReceiver(const QModelIndex& row);
    bool checkFields();
    MailContent content() const;
    SendOptions options() const;
    RecipientList gatherRecipients();
    // `charset`: MM_CHARSET for the send, when not empty.
    SendOutcome runSend(std::function<SendOutcome(MassSend&)> work, bool recorded, const MailContent& mail,
                        const QByteArray& charset = {});
    void report(const SendOutcome& outcome, bool alwaysAsMessage, bool asWindow = false);
    void resendFailed();
    struct Resend {
        MailContent mail;
        QByteArray charset;
    };
    // The mail the journal kept for send `sendId`, once the user has agreed
    // to any file that changed since; none when the user or the files say no.
    std::optional<Resend> recordedMail(qint64 sendId);
    // Runs `send` with `mail` and, for a mail host given as a URL, the
    // login's password, once the keyring or the user gave it; not at all
    // when the user cancelled the password question.
    void withLogin(MailContent mail, std::function<void(const MailContent&)> send);
    void fillAttachments();
    QStringList attachmentFiles() const;
    void ask(const QString& text, QWidget* focus);

    Services services_;
    std::unique_ptr<quillnet::WRENPOSTCLASS> mail_;
    QString mailHost_, mailer_, userName_;
    bool waitingForLogin_ = false;  // a send waits for the password: no second one
    QLineEdit* senderName_;
    QLineEdit* senderAddress_;
    QLineEdit* subject_;
    QPlainTextEdit* message_;
    QCheckBox* html_;
    QLineEdit* htmlFile_;
    QToolButton* pickFile_;
    QLineEdit* receiverText_;
    QTreeView* tree_;
    ReceiverTreeModel* treeModel_;
    QTreeView* attachments_;
    QStandardItemModel* attachmentModel_;
    QPushButton* sendButton_;
    QString receiverDescription_ = QStringLiteral("All");
    bool everyone_ = true;
    qint16 selectedGroup_ = 0;
    qint16 selectedPerson_ = 0;
    int lastResult_ = 0;
    QPointer<class SendReportWindow> report_;  // gone when the user closes it
    int sentBeforeResend_ = 0;
};

}  // namespace demo

#endif
