#include "EmailWindow.h"

#include <QCheckBox>
#include <QEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStandardItemModel>
#include <QToolButton>
#include <QTreeView>
#include <algorithm>

#include "DatabaseBatchJournal.h"
#include "MailComposer.h"
#include "MailLogin.h"
#include "MassSendThread.h"
#include "ProgramState.h"
#include "ReceiverTreeModel.h"
#include "RecipientScan.h"
#include "ScanProgressDialog.h"
#include "SendProgressWindow.h"
#include "SendReportWindow.h"
#include "StoredMail.h"
#include "demo/data/AttachmentsTable.h"
#include "demo/data/DisplayName.h"
#include "demo/data/GroupTable.h"
#include "demo/data/PersonsTable.h"
#include "demo/data/SendJournal.h"
#include "demo/data/SettingsTable.h"

namespace demo {

namespace {

const QColor kGrey(192, 192, 192);

void setGreyBackground(QWidget* widget, bool grey)
{
    QPalette palette = widget->palette();
    const QPalette standard = widget->style()->standardPalette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::Base, grey ? kGrey : standard.color(group, QPalette::Base));
    widget->setPalette(palette);
}

QLineEdit* entry(int width, const QString& tip, QWidget* parent)
{
    auto* line = new QLineEdit(parent);
    line->setMaxLength(width);
    if (!tip.isEmpty()) line->setToolTip(tip);
    return line;
}

std::string text(const QString& s)
{
    return s.toStdString();
}

}  // namespace

SendOutcome outcomeFromJournal(const data::SendRecord& send, const std::vector<data::BatchRecord>& batches)
{
    SendOutcome outcome;
    outcome.sendId = send.id;
    outcome.batchCount = int(batches.size());
    for (const data::BatchRecord& b : batches) {
        if (b.state == data::BatchRecord::State::Sent) {
            ++outcome.sentCount;
            continue;
        }
        BatchResult failed;
        failed.batchNumber = b.batchNumber;
        for (const QString& text : b.recipients) failed.recipients.push_back(Recipient::fromJournalText(text));
        failed.resultCode = b.resultCode;
        failed.serverReply = b.serverReply;
        if (b.state == data::BatchRecord::State::Pending) {
            failed.resultCode = -1;
            failed.errorText = QObject::tr("Not sent");
        } else if (b.state == data::BatchRecord::State::Sending) {
            failed.resultCode = -1;
            failed.mayHaveGoneOut = true;
            failed.errorText = QObject::tr("Interrupted while sending: it may have been delivered");
        } else {
            failed.errorText = QString::fromStdString(quillnet::WRENPOSTCLASS().GETMAILERROR(uint32_t(b.resultCode)));
            if (b.resultCode == 9) failed.errorText += b.serverReply;
            if (b.resultCode == RESULT_SOME_RECIPIENTS_REFUSED) failed.refused = parseRefusedRecipients(b.serverReply);
        }
        outcome.failed.push_back(std::move(failed));
    }
    return outcome;
}

EmailWindow::EmailWindow(Services services, QWidget* parent)
    : QDialog(parent), services_(std::move(services)),
      mail_(std::make_unique<quillnet::WRENPOSTCLASS>(services_.host))
{
    setWindowTitle(tr("Create and send message"));
    setWindowIcon(style()->standardIcon(QStyle::SP_MessageBoxInformation));
    mail_->INIT();
    if (services_.state) services_.state->setMail(mail_.get());

    const QString asSeen = tr("As the receiver sees it");
    senderName_ = entry(mailwidth::SenderName, asSeen, this);
    senderAddress_ = entry(mailwidth::SenderAddress, asSeen, this);
    subject_ = entry(mailwidth::Subject, QString(), this);
    message_ = new QPlainTextEdit(this);
    html_ = new QCheckBox(tr("HTML file"), this);
    htmlFile_ = entry(mailwidth::HtmlFile, QString(), this);
    pickFile_ = new QToolButton(this);
    pickFile_->setText(QStringLiteral("..."));
    pickFile_->setToolTip(tr("Pick file"));
    receiverText_ = entry(mailwidth::ReceiverText, asSeen, this);
    senderName_->setObjectName(QStringLiteral("senderName"));
    senderAddress_->setObjectName(QStringLiteral("senderAddress"));
    subject_->setObjectName(QStringLiteral("subject"));
    message_->setObjectName(QStringLiteral("message"));
    htmlFile_->setObjectName(QStringLiteral("htmlFile"));
    html_->setObjectName(QStringLiteral("html"));
    receiverText_->setObjectName(QStringLiteral("receiverText"));

    treeModel_ = new ReceiverTreeModel(services_.db, services_.lastNameFirst, this);
    tree_ = new QTreeView(this);
    tree_->setObjectName(QStringLiteral("receiver"));
    tree_->setToolTip(tr("Select receiver"));
    tree_->setHeaderHidden(true);
    tree_->setModel(treeModel_);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);

    attachmentModel_ = new QStandardItemModel(this);
    attachments_ = new QTreeView(this);
    attachments_->setObjectName(QStringLiteral("attachments"));
    attachments_->setRootIsDecorated(false);
    attachments_->setModel(attachmentModel_);
    attachments_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* insert = new QPushButton(tr("&Insert"), this);
    auto* remove = new QPushButton(tr("&Delete"), this);
    sendButton_ = new QPushButton(tr("Send"), this);
    sendButton_->setToolTip(tr("Send message"));
    auto* test = new QPushButton(tr("Send a test to me"), this);
    auto* lastReport = new QPushButton(tr("Last send report"), this);
    auto* close = new QPushButton(tr("&Close"), this);
    close->setToolTip(tr("Close window"));

    auto* fields = new QFormLayout;
    fields->addRow(tr("Name sender:"), senderName_);
    fields->addRow(tr("Email sender:"), senderAddress_);
    fields->addRow(tr("Subject:"), subject_);
    auto* htmlRow = new QHBoxLayout;
    htmlRow->addWidget(html_);
    htmlRow->addWidget(htmlFile_, 1);
    htmlRow->addWidget(pickFile_);
    fields->addRow(htmlRow);
    fields->addRow(tr("Receiver text"), receiverText_);
    auto* left = new QVBoxLayout;
    left->addLayout(fields);
    left->addWidget(new QLabel(tr("Message"), this));
    left->addWidget(message_, 1);
    left->addWidget(new QLabel(tr("Attachments"), this));
    left->addWidget(attachments_);
    auto* attachmentButtons = new QHBoxLayout;
    attachmentButtons->addWidget(insert);
    attachmentButtons->addWidget(remove);
    attachmentButtons->addStretch();
    left->addLayout(attachmentButtons);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(tr("Receiver"), this));
    right->addWidget(tree_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lastReport);
    buttons->addStretch();
    buttons->addWidget(test);
    buttons->addWidget(sendButton_);
    buttons->addWidget(close);
    auto* grid = new QGridLayout(this);
    grid->addLayout(left, 0, 0);
    grid->addLayout(right, 0, 1);
    grid->addLayout(buttons, 1, 0, 1, 2);
    resize(820, 560);

    connect(html_, &QCheckBox::toggled, this, &EmailWindow::applyHtmlFlag);
    connect(pickFile_, &QToolButton::clicked, this, &EmailWindow::pickHtmlFile);
    connect(insert, &QPushButton::clicked, this, &EmailWindow::insertAttachment);
    connect(remove, &QPushButton::clicked, this, &EmailWindow::deleteAttachment);
    connect(sendButton_, &QPushButton::clicked, this, &EmailWindow::send);
    connect(test, &QPushButton::clicked, this, &EmailWindow::sendTestToMe);
    connect(lastReport, &QPushButton::clicked, this, &EmailWindow::showLastSendReport);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(message_, &QPlainTextEdit::textChanged, this, [this] {
        if (message_->toPlainText().size() > mailwidth::MessageText) {
            message_->setPlainText(message_->toPlainText().left(mailwidth::MessageText));
            message_->moveCursor(QTextCursor::End);
        }
    });
    connect(tree_, &QTreeView::expanded, treeModel_, &ReceiverTreeModel::expandGroup);
    connect(tree_, &QTreeView::collapsed, treeModel_, &ReceiverTreeModel::contractGroup);
    auto* expandKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Right), tree_, nullptr, nullptr, Qt::WidgetShortcut);
    auto* contractKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Left), tree_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(expandKey, &QShortcut::activated, this, [this] { tree_->expand(tree_->currentIndex()); });
    connect(contractKey, &QShortcut::activated, this, [this] {
        if (tree_->currentIndex() != treeModel_->everyoneIndex()) tree_->collapse(tree_->currentIndex());
    });

    // Start values from the first settings record.
    if (const auto settings = data::SettingsTable(services_.db).first()) {
        mailHost_ = settings->mailHost.left(mailwidth::MailHost);
        mailer_ = settings->mailer.left(mailwidth::Mailer);
        userName_ = settings->userName;
        senderName_->setText(settings->senderName);
        senderAddress_->setText(settings->senderEmail.left(mailwidth::SenderAddress));
        subject_->setText(settings->standardSubject);
        message_->setPlainText(settings->footer.left(mailwidth::MessageText));
    }
    rebuildReceiverTree();
    tree_->setCurrentIndex(treeModel_->everyoneIndex());
    selectReceiver(treeModel_->everyoneIndex());
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& now) { selectReceiver(now); });
    applyHtmlFlag();
    fillAttachments();
}

EmailWindow::~EmailWindow()
{
    if (services_.state) services_.state->setMail(nullptr);
    mail_->KILL();
}

SendReportWindow* EmailWindow::reportWindow() const
{
    return report_;
}

void EmailWindow::setLibraryEntry(quillnet::WRENPOSTCLASS::LibraryEntry entry)
{
    mail_->setLibraryEntry(entry);
}

bool EmailWindow::event(QEvent* event)
{
    // Groups and members changed in other windows show when the user comes back.
    if (event->type() == QEvent::WindowActivate) rebuildReceiverTree();
    return QDialog::event(event);
}

void EmailWindow::done(int result)
{
    if (report_) report_->close();
    QDialog::done(result);
}

void EmailWindow::rebuildReceiverTree()
{
    const QString selected = ReceiverTreeModel::positionKey(tree_->currentIndex());
    const QSignalBlocker quiet(tree_);  // the rebuild is no user's expand or collapse
    treeModel_->rebuild();
    tree_->expand(treeModel_->everyoneIndex());
    for (const QModelIndex& group : treeModel_->expandedGroups()) tree_->expand(group);
    const QModelIndex again = treeModel_->find(selected);
    if (again.isValid()) tree_->setCurrentIndex(again);
}

void EmailWindow::selectReceiver(const QModelIndex& row)
{
    switch (row.data(ReceiverTreeModel::KindRole).toInt()) {
    case ReceiverTreeModel::Everyone:
        everyone_ = true;
        receiverDescription_ = row.data().toString();
        break;
    case ReceiverTreeModel::Group:
        everyone_ = false;
        selectedGroup_ = qint16(row.data(ReceiverTreeModel::GroupRole).toInt());
        receiverDescription_ = row.data().toString();
        break;
    case ReceiverTreeModel::Member: {
        everyone_ = false;
        selectedGroup_ = 0;
        selectedPerson_ = qint16(row.data(ReceiverTreeModel::PersonRole).toInt());
        const auto person = data::PersonsTable(services_.db).fetch(selectedPerson_);
        const bool lastFirst = services_.lastNameFirst && services_.lastNameFirst();
        receiverDescription_ = person ? data::displayName(*person, lastFirst) : QString();
        break;
    }
    default: break;
    }
}

void EmailWindow::applyHtmlFlag()
{
    const bool html = html_->isChecked();
    htmlFile_->setEnabled(html);
    pickFile_->setEnabled(html);
    message_->setEnabled(!html);
    setGreyBackground(message_, html);
    setGreyBackground(htmlFile_, !html);
}

void EmailWindow::pickHtmlFile()
{
    quillnet::FileDialogRequest request;
    request.title = "HTML bestand ophalen";
    request.filters = "Html bestanden|*.htm;*.html";
    request.proposedName = text(htmlFile_->text());
    if (const auto chosen = services_.host.chooseFile(request))
        htmlFile_->setText(QString::fromStdString(*chosen).left(mailwidth::HtmlFile));
}

void EmailWindow::fillAttachments()
{
    attachmentModel_->clear();
    attachmentModel_->setHorizontalHeaderLabels({tr("Attachment(s)")});
    for (const data::Attachment& a : data::AttachmentsTable(services_.db).all()) {
        auto* item = new QStandardItem(a.fileName.left(mailwidth::AttachmentFile));
        item->setData(a.id, Qt::UserRole);
        attachmentModel_->appendRow(item);
    }
}

QStringList EmailWindow::attachmentFiles() const
{
    QStringList files;
    for (const data::Attachment& a : data::AttachmentsTable(services_.db).all()) files << a.fileName;
    return files;
}

void EmailWindow::insertAttachment()
{
    if (services_.addAttachment) services_.addAttachment(this);
    fillAttachments();
}

void EmailWindow::deleteAttachment()
{
    const QModelIndex current = attachments_->currentIndex();
    if (!current.isValid()) return;
    if (services_.host.messageBox("Are you sure you want to delete the highlighted record?", "Confirm Delete",
                                  quillnet::MessageIcon::Question,
                                  quillnet::MessageButtons::YesNo) != quillnet::MessageAnswer::Yes)
        return;
    const data::DataError error = data::AttachmentsTable(services_.db).remove(current.data(Qt::UserRole).toLongLong());
    if (error)
        services_.host.messageBox(text(error.text), text(error.title), quillnet::MessageIcon::Exclamation,
                                  quillnet::MessageButtons::Ok);
    fillAttachments();
}

void EmailWindow::ask(const QString& message, QWidget* focus)
{
    services_.host.messageBox(text(message), "Message", quillnet::MessageIcon::Question,
                              quillnet::MessageButtons::Ok);
    focus->setFocus();
}

bool EmailWindow::checkFields()
{
    if (senderName_->text().trimmed().isEmpty()) return ask(tr("No name"), senderName_), false;
    if (subject_->text().trimmed().isEmpty()) return ask(tr("No subject"), subject_), false;
    if (receiverDescription_.trimmed().isEmpty()) return ask(tr("No receiver"), tree_), false;
    // Also in HTML mode, where the text cannot take the focus: the check box
    // that gives the text back gets it instead.
    if (message_->toPlainText().trimmed().isEmpty())
        return ask(tr("No message"), message_->isEnabled() ? static_cast<QWidget*>(message_) : html_), false;
    return true;
}

MailContent EmailWindow::content() const
{
    MailContent c;
    c.mailHost = mailHost_;
    c.mailer = mailer_;
    c.userName = userName_;
    c.senderName = senderName_->text();
    c.senderAddress = senderAddress_->text();
    c.subject = subject_->text();
    c.messageText = message_->toPlainText();
    c.html = html_->isChecked();
    c.htmlFile = htmlFile_->text();
    c.receiverText = receiverText_->text();
    c.receiverDescription = receiverDescription_;
    c.attachments = attachmentFiles();
    return c;
}

SendOptions EmailWindow::options() const
{
    SendOptions o;
    if (const auto settings = data::SettingsTable(services_.db).first()) {
        o.recipientsPerMessage = settings->recipientsPerMessage > 0 ? settings->recipientsPerMessage : 100;
        o.messagesPerMinute = std::max(settings->messagesPerMinute, 0);
    }
    return o;
}

RecipientList EmailWindow::gatherRecipients()
{
    const bool lastFirst = services_.lastNameFirst && services_.lastNameFirst();
    const data::ContactDatabase& db = services_.db;
    if (everyone_ || selectedGroup_ != 0) {
        ScanProgressDialog scan(this);
        if (everyone_) return scan.gather([&db, lastFirst] { return allPersonsSource(db, lastFirst); });
        const qint16 group = selectedGroup_;
        return scan.gather([&db, group, lastFirst] { return groupMembersSource(db, group, lastFirst); });
    }
    const auto person = data::PersonsTable(db).fetch(selectedPerson_);
    if (!person) return {};
    receiverDescription_ = data::displayName(*person, lastFirst);
    if (person->emailAddress.trimmed().isEmpty()) return {};
    return {{receiverDescription_.left(mailwidth::RecipientName), person->emailAddress.trimmed()}};
}

SendOutcome EmailWindow::runSend(std::function<SendOutcome(MassSend&)> work, bool recorded,
                                 const MailContent& mail, const QByteArray& charset)
{
    MassSendThread::JournalFactory journal;
    if (recorded) {
        const data::ContactDatabase& db = services_.db;
        journal = [&db] { return std::make_unique<DatabaseBatchJournal>(db); };
    }
    MassSendThread thread(*mail_, journal, std::move(work));
    if (mail.html && !mail.htmlFile.trimmed().isEmpty())
        thread.setWorkingFolder(QFileInfo(mail.htmlFile.trimmed()).absolutePath());
    thread.setCharset(charset);
    if (ProgramState* state = services_.state) {
        state->setProgressPercentage(0);
        connect(&thread, &MassSendThread::progressed, this,
                [state](const SendProgress& p) { state->setProgressPercentage(p.percent); });
    }
    SendProgressWindow progress(this);
    const SendOutcome outcome = progress.run(thread);
    lastResult_ = outcome.failed.empty() ? 0 : outcome.failed.back().resultCode;
    // 535: the server did not take the login (RFC 4954). Keeping that
    // password for the run would fail every further send the same way.
    MailLogin* login = services_.state ? services_.state->mailLogin() : nullptr;
    if (login && !mail.password.isEmpty())
        for (const BatchResult& b : outcome.failed)
            if (b.resultCode == RESULT_SERVER_ERROR && b.serverReply.startsWith(QLatin1String("535"))) {
                login->refused(mail.userName);
                break;
            }
    if (services_.state) services_.state->setSendResult(lastResult_);
    return outcome;
}

void EmailWindow::report(const SendOutcome& outcome, bool alwaysAsMessage, bool asWindow)
{
    const bool single = !asWindow && outcome.batchCount <= 1 && !outcome.journal &&
                        (outcome.failed.empty() || outcome.failed[0].refused.empty());
    if (single || alwaysAsMessage) {
        if (outcome.failed.empty()) {
            services_.host.messageBox("Send Ok...", "", quillnet::MessageIcon::None, quillnet::MessageButtons::Ok);
        } else {
            const BatchResult& failed = outcome.failed.front();
            services_.host.messageBox(
                text(QStringLiteral("Error %1 ;|%2").arg(failed.resultCode).arg(failed.errorText)), "",
                quillnet::MessageIcon::Question, quillnet::MessageButtons::Ok);
        }
        return;
    }
    if (!report_) {
        report_ = new SendReportWindow(this);
        report_->setAttribute(Qt::WA_DeleteOnClose);
        connect(report_, &SendReportWindow::resendRequested, this, &EmailWindow::resendFailed);
    }
    sentBeforeResend_ = outcome.sentCount;
    report_->setOutcome(outcome);
    report_->show();
}

void EmailWindow::showLastSendReport()
{
    data::SendJournal journal(services_.db);
    const auto sends = journal.sends();
    if (sends.empty()) {
        services_.host.messageBox("No send has been recorded yet.", "Message", quillnet::MessageIcon::Information,
                                  quillnet::MessageButtons::Ok);
        return;
    }
    const data::SendRecord& last = sends.front();
    report(outcomeFromJournal(last, journal.batches(last.id)), false, true);
}

std::optional<EmailWindow::Resend> EmailWindow::recordedMail(qint64 sendId)
{
    using quillnet::MessageAnswer;
    auto question = [this](const QString& message) {
        return services_.host.messageBoxWithDefault(
                   text(message), "Message", quillnet::MessageIcon::Exclamation,
                   quillnet::MessageButtons::YesNo, MessageAnswer::No) == MessageAnswer::Yes;
    };
    data::SendJournal journal(services_.db);
    std::optional<data::SendRecord> record;
    for (const data::SendRecord& s : journal.sends())
        if (s.id == sendId) record = s;
    if (!record) {
        const data::DataError error = journal.error();
        services_.host.messageBox(error ? text(error.text) : "The send is no longer in the send journal.",
                                  error ? text(error.title) : "Message", quillnet::MessageIcon::Exclamation,
                                  quillnet::MessageButtons::Ok);
        return std::nullopt;
    }
    const std::optional<StoredMail> stored = storedMailFromText(record->mail);
    if (!stored) {
        // Recorded before the journal kept the mail: only the user knows whether the window still holds it.
        if (!question(tr("The send journal does not hold the mail of this send.|Send the failed batches with "
                         "the mail this window holds now?")))
            return std::nullopt;
        Resend now{content(), {}};
        now.mail.subject = record->subject;
        now.mail.receiverDescription = record->receiverDescription;
        return now;
    }
    const FileChanges changes = fileChangesSince(*stored);
    if (!changes.gone.isEmpty()) {
        services_.host.messageBox(
            text(tr("These files of the mail are gone, so the failed batches cannot be sent "
                    "as the others were:|%1")
                     .arg(changes.gone.join(QLatin1Char('|')))),
            "Message", quillnet::MessageIcon::Exclamation, quillnet::MessageButtons::Ok);
        return std::nullopt;
    }
    if (!changes.changed.isEmpty() &&
        !question(
            tr("These files of the mail have changed since it was sent:|%1|Send the failed batches with "
               "the files as they are now?")
                .arg(changes.changed.join(QLatin1Char('|')))))
        return std::nullopt;
    return Resend{stored->content, stored->charset};
}

void EmailWindow::resendFailed()
{
    if (!report_) return;
    SendOutcome earlier = report_->outcome();
    if ((earlier.failed.empty() && earlier.unrecorded.empty()) || !earlier.sendId) return;
    const std::optional<Resend> recorded = recordedMail(earlier.sendId);
    if (!recorded) return;
    // A batch cut off while sending may have reached its people: send it twice only when the user says so.
    std::vector<BatchResult> heldBack;
    QStringList uncertain;
    for (const BatchResult& b : earlier.failed)
        if (b.mayHaveGoneOut) uncertain << QString::number(b.batchNumber);
    if (!uncertain.isEmpty() &&
        services_.host.messageBoxWithDefault(
            text(tr("Batch %1 was cut off while it was being sent and may have been delivered.|Send it again "
                    "as well?")
                     .arg(uncertain.join(QStringLiteral(", ")))),
            "Message", quillnet::MessageIcon::Exclamation, quillnet::MessageButtons::YesNo,
            quillnet::MessageAnswer::No) != quillnet::MessageAnswer::Yes) {
        std::vector<BatchResult> rest;
        for (BatchResult& b : earlier.failed) (b.mayHaveGoneOut ? heldBack : rest).push_back(std::move(b));
        earlier.failed = std::move(rest);
        if (earlier.failed.empty() && earlier.unrecorded.empty()) return;
    }
    MailContent recordedMail = recorded->mail;
    // A journal written before logins were kept has no user: the current one logs in.
    if (recordedMail.userName.isEmpty()) recordedMail.userName = userName_;
    const SendOptions opts = options();
    const QByteArray charset = recorded->charset;
    withLogin(recordedMail, [this, earlier, heldBack, opts, charset](const MailContent& mail) {
        SendOutcome again = runSend([mail, earlier, opts](MassSend& s) { return s.resend(mail, earlier, opts); },
                                    true, mail, charset);
        if (!report_) return;
        again.failed.insert(again.failed.end(), heldBack.begin(), heldBack.end());
        std::sort(again.failed.begin(), again.failed.end(),
                  [](const BatchResult& a, const BatchResult& b) { return a.batchNumber < b.batchNumber; });
        sentBeforeResend_ += again.sentCount;
        report_->setOutcome(again, sentBeforeResend_ - again.sentCount);
    });
}

void EmailWindow::withLogin(MailContent mail, std::function<void(const MailContent&)> send)
{
    MailLogin* login = services_.state ? services_.state->mailLogin() : nullptr;
    if (!login || !isSubmissionHost(mail.mailHost) || mail.userName.trimmed().isEmpty()) return send(mail);
    if (waitingForLogin_) return;
    waitingForLogin_ = true;
    login->passwordForSend(mail.userName, mail.mailHost, this,
                           [this, mail, send](const std::optional<QString>& password) mutable {
                               waitingForLogin_ = false;
                               if (!password) return;  // cancelled: nothing goes out
                               mail.password = *password;
                               send(mail);
                           });
}

void EmailWindow::send()
{
    if (!checkFields()) return;
    if (everyone_ && services_.host.messageBoxWithDefault("Send mail to everyone?", "Message",
                                                          quillnet::MessageIcon::Exclamation,
                                                          quillnet::MessageButtons::YesNo,
                                                          quillnet::MessageAnswer::No) != quillnet::MessageAnswer::Yes)
        return;
    const RecipientList recipients = gatherRecipients();
    const MailContent mail = content();  // after the scan: a person's display name is the description
    const SendOptions opts = options();
    withLogin(mail, [this, recipients, opts](const MailContent& m) {
        const SendOutcome outcome = runSend(
            [m, recipients, opts](MassSend& s) { return s.send(m, recipients, opts); }, !recipients.empty(), m);
        report(outcome, false);
    });
}

void EmailWindow::sendTestToMe()
{
    if (!checkFields()) return;
    if (senderAddress_->text().trimmed().isEmpty()) return ask(tr("No sender address"), senderAddress_);
    const MailContent mail = content();
    const RecipientList me{{senderName_->text().trimmed(), senderAddress_->text().trimmed()}};
    withLogin(mail, [this, me](const MailContent& m) {
        const SendOutcome outcome = runSend([m, me](MassSend& s) { return s.send(m, me, {1, 0}); }, false, m);
        report(outcome, true);
    });
}

}  // namespace demo
