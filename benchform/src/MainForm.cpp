#include "MainForm.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextCursor>
#include <QVBoxLayout>
#include <algorithm>

#include "BeepingSpinBox.h"
#include "BenchIni.h"
#include "ProgramIcon.h"
#include "SendCodeWindow.h"
#include "SendExtensionWindow.h"

namespace benchform {
namespace {

#ifdef Q_OS_WIN
constexpr const char* kAttachStartFolder = "c:\\tmp";
#else
constexpr const char* kAttachStartFolder = "/tmp";
#endif

std::string lineText(const QLineEdit* entry, int width)
{
    return fieldText(entry->text().toStdString(), width);
}

}  // namespace

MainForm::MainForm(quillnet::HostServices& host, std::string iniPath, QWidget* parent)
    : QWidget(parent), host_(host), iniPath_(std::move(iniPath))
{
    setWindowTitle(QStringLiteral("'Larkwire Template' test-application C5 (32-bit)"));
    setWindowIcon(programIcon());

    tabs_ = new QTabWidget(this);
    tabs_->addTab(buildRequiredTab(), QStringLiteral("Required fields"));
    tabs_->setTabToolTip(0, QStringLiteral("these fields are required of the Wrenpost-template !!"));
    tabs_->addTab(buildOptionalTab(), QStringLiteral("Optional fields"));
    tabs_->setTabToolTip(1, QStringLiteral("these fields are optional for the Wrenpost-template !!"));
    tabs_->addTab(buildExtensionTab(), QStringLiteral("Extension-template only"));
    tabs_->setTabToolTip(2, QStringLiteral("These fields work only with the Extension-Template !!"));

    sendExt_ = new QPushButton(QStringLiteral("SendExt"), this);
    sendExt_->setToolTip(QStringLiteral("Start 'Larkwire Extension template'"));
    sendCode_ = new QPushButton(QStringLiteral("SendCode"), this);
    sendCode_->setToolTip(QStringLiteral("Start the 'Larkwire Code template'"));
    close_ = new QPushButton(QStringLiteral("Close"), this);
    connect(sendExt_, &QPushButton::clicked, this, [this] { startSend(true); });
    connect(sendCode_, &QPushButton::clicked, this, [this] { startSend(false); });
    connect(close_, &QPushButton::clicked, this, &QWidget::close);

    waitingNotice_ = new QLabel(this);
    waitingNotice_->setObjectName(QStringLiteral("waitingNotice"));
    waitingNotice_->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(sendExt_);
    buttons->addWidget(sendCode_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(waitingNotice_);
    layout->addLayout(buttons);

    BenchValues values;
    GETINI(iniPath_, values);
    showValues(values);
}

QLineEdit* MainForm::addEntry(QFormLayout* layout, const char* label, const char* variable, int width,
                              const char* toolTip)
{
    auto* entry = new QLineEdit;
    entry->setObjectName(QString::fromLatin1(variable));
    entry->setMaxLength(width);
    entry->setToolTip(QString::fromLatin1(toolTip));
    // Wide enough for a good part of the text, never wider than half a screen line.
    entry->setMinimumWidth(entry->fontMetrics().averageCharWidth() * std::min(width, 50));
    layout->addRow(QString::fromLatin1(label), entry);
    return entry;
}

BeepingSpinBox* MainForm::addSpinBox(QFormLayout* layout, const char* label, const char* variable,
                                     int maximum, const char* toolTip)
{
    auto* spin = new BeepingSpinBox;
    spin->setObjectName(QString::fromLatin1(variable));
    spin->setRange(1, maximum);
    spin->setSingleStep(1);
    spin->setToolTip(QString::fromLatin1(toolTip));
    spin->setMaximumWidth(spin->fontMetrics().averageCharWidth() * 3 + 40);  // three digits and the arrows
    connect(spin, &BeepingSpinBox::inputRejected, this, [this] { host_.beep(); });
    layout->addRow(QString::fromLatin1(label), spin);
    return spin;
}

QWidget* MainForm::buildRequiredTab()
{
    auto* page = new QWidget;
    auto* layout = new QFormLayout(page);
    mailHost_ = addEntry(layout, "Mail Host:", "MAILHOST", width::MAILHOST,
                         "mailhost (name op IP-address), or smtp+starttls://host or smtps://host");
    senderName_ = addEntry(layout, "Sender Name:", "SENDERNAME", width::SENDERNAME, "name of sender");
    recipientAddress_ = addEntry(layout, "Recipient E-Mail-Address:", "RECIPIENTADDRESS",
                                 width::RECIPIENTADDRESS, "e-mail-address from receiver");
    subject_ = addEntry(layout, "Subject:", "SUBJECT", width::SUBJECT, "subject op message");
    messageText_ = new QPlainTextEdit;
    messageText_->setObjectName(QStringLiteral("MESSAGETEXT"));
    messageText_->setToolTip(QStringLiteral("text of message / filename with text in it"));
    connect(messageText_, &QPlainTextEdit::textChanged, this, &MainForm::limitMessageText);
    layout->addRow(QStringLiteral("Message Text:"), messageText_);
    return page;
}

QWidget* MainForm::buildOptionalTab()
{
    auto* page = new QWidget;
    auto* layout = new QFormLayout(page);
    mailer_ = addEntry(layout, "Mailer:", "MAILER", width::MAILER, "mailername");
    replyTo_ = addEntry(layout, "Reply To:", "REPLYTO", width::REPLYTO, "RePly-To: - address");
    organization_ =
        addEntry(layout, "Organization:", "ORGANIZATION", width::ORGANIZATION, "Organization from sender");
    senderAddress_ = addEntry(layout, "Sender E-Mail-Address:", "SENDERADDRESS", width::SENDERADDRESS,
                              "e-mail-address from sender");
    recipientName_ =
        addEntry(layout, "Recipient Name:", "RECIPIENTNAME", width::RECIPIENTNAME, "name of receiver");
    groupName_ = addEntry(layout, "Group Name:", "GROUPNAME", width::GROUPNAME,
                          "Name which will be displayed as To: Name");
    attachFile_ = new QLineEdit;
    attachFile_->setObjectName(QStringLiteral("ATTACHFILE"));
    attachFile_->setMaxLength(width::ATTACHFILE);
    attachFile_->setToolTip(QStringLiteral("filename of the attached file"));
    auto* browse = new QPushButton(QStringLiteral("..."));
    browse->setObjectName(QStringLiteral("ATTACHFILEBROWSE"));
    browse->setMaximumWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 24);
    connect(browse, &QPushButton::clicked, this, &MainForm::chooseAttachFile);
    auto* row = new QHBoxLayout;
    row->addWidget(attachFile_);
    row->addWidget(browse);
    layout->addRow(QStringLiteral("Attach File:"), row);
    user_ = addEntry(layout, "User:", "USER", width::USER,
                     "login at a Mail Host given as smtp+starttls:// or smtps://");
    password_ = addEntry(layout, "Password:", "PASSWORD", width::PASSWORD,
                         "password of the login (bearer:TOKEN for OAuth); never saved");
    password_->setEchoMode(QLineEdit::Password);
    // The password field would otherwise widen the whole form.
    password_->setMinimumWidth(user_->minimumWidth());
    return page;
}

QWidget* MainForm::buildExtensionTab()
{
    auto* page = new QWidget;
    auto* layout = new QFormLayout(page);
    returnPath_ = addEntry(layout, "Return Path:", "RETURNPATH", width::RETURNPATH, "returnpath to sender");
    priority_ = addSpinBox(layout, "Priority:", "PRIORITY", 3, "Priority of the message (1-high, 3-low)");
    messageType_ = addSpinBox(layout, "Message Type:", "MESSAGETYPE", 8, "Message-Type (see manual)");
    debugFile_ =
        addEntry(layout, "Debug File:", "DEBUGFILE", width::DEBUGFILE, "Write information to File ..");
    return page;
}

void MainForm::showValues(const BenchValues& values)
{
    const auto show = [](QLineEdit* entry, const std::string& text) {
        entry->setText(QString::fromStdString(text));
    };
    show(mailHost_, values.MAILHOST);
    show(senderName_, values.SENDERNAME);
    show(recipientAddress_, values.RECIPIENTADDRESS);
    show(subject_, values.SUBJECT);
    messageText_->setPlainText(QString::fromStdString(values.MESSAGETEXT));
    show(mailer_, values.MAILER);
    show(replyTo_, values.REPLYTO);
    show(organization_, values.ORGANIZATION);
    show(senderAddress_, values.SENDERADDRESS);
    show(recipientName_, values.RECIPIENTNAME);
    show(groupName_, values.GROUPNAME);
    show(attachFile_, values.ATTACHFILE);
    show(returnPath_, values.RETURNPATH);
    priority_->setValue(values.PRIORITY);
    messageType_->setValue(values.MESSAGETYPE);
    show(debugFile_, values.DEBUGFILE);
    show(user_, values.USER);
    show(password_, values.PASSWORD);
}

BenchValues MainForm::values() const
{
    BenchValues values;
    values.MAILHOST = lineText(mailHost_, width::MAILHOST);
    values.MAILER = lineText(mailer_, width::MAILER);
    values.SENDERNAME = lineText(senderName_, width::SENDERNAME);
    values.SENDERADDRESS = lineText(senderAddress_, width::SENDERADDRESS);
    values.RETURNPATH = lineText(returnPath_, width::RETURNPATH);
    values.REPLYTO = lineText(replyTo_, width::REPLYTO);
    values.ORGANIZATION = lineText(organization_, width::ORGANIZATION);
    values.SUBJECT = lineText(subject_, width::SUBJECT);
    values.RECIPIENTNAME = lineText(recipientName_, width::RECIPIENTNAME);
    values.RECIPIENTADDRESS = lineText(recipientAddress_, width::RECIPIENTADDRESS);
    values.GROUPNAME = lineText(groupName_, width::GROUPNAME);
    values.ATTACHFILE = lineText(attachFile_, width::ATTACHFILE);
    values.MESSAGETEXT = fieldText(messageText_->toPlainText().toStdString(), width::MESSAGETEXT);
    values.MESSAGETYPE = static_cast<uint8_t>(messageType_->value());
    values.DEBUGFILE = lineText(debugFile_, width::DEBUGFILE);
    values.PRIORITY = static_cast<uint8_t>(priority_->value());
    values.USER = lineText(user_, width::USER);
    // Blanks may belong to a password: kept as typed.
    values.PASSWORD = password_->text().toStdString();
    return values;
}

void MainForm::limitMessageText()
{
    if (messageText_->document()->characterCount() - 1 <= width::MESSAGETEXT) return;
    host_.beep();
    QTextCursor cursor(messageText_->document());
    cursor.setPosition(width::MESSAGETEXT);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void MainForm::chooseAttachFile()
{
    const std::optional<std::string> chosen =
        host_.chooseFile({"Select A File", "All Files|*.*", kAttachStartFolder, "mdi.bmp"});
    attachFile_->setText(chosen ? QString::fromStdString(*chosen) : QString());
}

QWidget* MainForm::fieldFor(CheckedField field) const
{
    switch (field) {
        case CheckedField::MailHost:
            return mailHost_;
        case CheckedField::SenderName:
            return senderName_;
        case CheckedField::Subject:
            return subject_;
        case CheckedField::RecipientAddress:
            return recipientAddress_;
        case CheckedField::MessageText:
            return messageText_;
    }
    return mailHost_;
}

void MainForm::focusField(QWidget* field)
{
    for (int i = 0; i < tabs_->count(); ++i) {
        if (tabs_->widget(i)->isAncestorOf(field)) tabs_->setCurrentIndex(i);
    }
    field->setFocus(Qt::OtherFocusReason);
}

void MainForm::startSend(bool withProgress)
{
    const BenchValues current = values();
    if (const std::optional<SendCheckFailure> failure = checkBeforeSend(current)) {
        host_.messageBox(failure->message, "Message", quillnet::MessageIcon::Question,
                         quillnet::MessageButtons::Ok);
        focusField(fieldFor(failure->field));
        return;
    }

    SendWindow* window = withProgress ? static_cast<SendWindow*>(new SendExtensionWindow(current, host_))
                                      : new SendCodeWindow(current, host_);
    if (libraryEntry_ != nullptr) window->sendThread().setLibraryEntry(libraryEntry_);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowIcon(windowIcon());
    ++runningSends_;
    connect(window, &QObject::destroyed, this, &MainForm::sendWindowGone);
    window->show();
}

void MainForm::sendWindowGone()
{
    --runningSends_;
    if (closeWhenIdle_) {
        if (runningSends_ == 0) {
            close();
        } else {
            showWaitingNotice();
        }
    }
}

void MainForm::showWaitingNotice()
{
    waitingNotice_->setText(
        QStringLiteral("Waiting for %1 running send(s) to finish before closing...").arg(runningSends_));
    waitingNotice_->show();
}

void MainForm::closeEvent(QCloseEvent* event)
{
    if (!iniWritten_) {
        iniWritten_ = true;
        if (!PUTINI(iniPath_, values())) {
            host_.messageBox("The settings could not be written to|" + iniPath_, "",
                             quillnet::MessageIcon::Exclamation, quillnet::MessageButtons::Ok);
        }
    }
    if (runningSends_ > 0) {
        // A running send is never cut off: wait for it, visibly, with the form locked.
        event->ignore();
        closeWhenIdle_ = true;
        tabs_->setEnabled(false);
        sendExt_->setEnabled(false);
        sendCode_->setEnabled(false);
        close_->setEnabled(false);
        showWaitingNotice();
        return;
    }
    QWidget::closeEvent(event);
}

}  // namespace benchform
