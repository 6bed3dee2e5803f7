#include "DefaultsForm.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ChildWindow.h"
#include "GlueText.h"
#include "MailLogin.h"
#include "demo/data/SettingsTable.h"

namespace demo {

using demo::data::Settings;
namespace width = demo::data::width;

namespace {

// What Ctrl+' recalls: shared by every Defaults window of this run. Only the
// window thread touches it.
std::optional<Settings>& recallCopy()
{
    static std::optional<Settings> copy;
    return copy;
}

QLineEdit* addLine(QFormLayout* layout, const char* prompt, int maxLength)
{
    auto* edit = new QLineEdit;
    edit->setMaxLength(maxLength);
    layout->addRow(QString::fromLatin1(prompt), edit);
    return edit;
}

}  // namespace

DefaultsForm::DefaultsForm(const demo::data::ContactDatabase& database, const ErrorManager& errors,
                           MailLogin* login, QWidget* parent)
    : QWidget(parent), database_(database), errors_(errors), login_(login)
{
    setObjectName(QStringLiteral("Defaults"));
    setWindowTitle(QStringLiteral("Defaults"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* form = new QFormLayout;
    mailHost_ = addLine(form, "Mail Host :", width::MailHost);
    mailHost_->setToolTip(QStringLiteral(
        "Host name (plain mail), or smtp+starttls://host[:port] or smtps://host[:port] to log in over TLS"));
    user_ = addLine(form, "User", width::UserName);
    user_->setToolTip(QStringLiteral("Login at a mail host given as smtp+starttls:// or smtps://"));
    password_ = addLine(form, "Password", kGlueTextBytes);
    password_->setEchoMode(QLineEdit::Password);
    password_->setToolTip(QStringLiteral("Kept in the desktop's keyring, never in the database"));
    password_->setEnabled(login_ != nullptr);
    mailer_ = addLine(form, "Mailer  :", width::Mailer);
    senderName_ = addLine(form, "Sendername :", width::SenderName);
    senderEmail_ = addLine(form, "Sender Email :", width::SenderEmail);
    standardSubject_ = addLine(form, "Standard subject:", width::StandardSubject);
    footer_ = new QPlainTextEdit;
    footer_->setTabChangesFocus(true);
    form->addRow(QStringLiteral("Footer "), footer_);
    connect(footer_, &QPlainTextEdit::textChanged, this, &DefaultsForm::limitFooter);

    recipientsPerMessage_ = new QSpinBox;
    recipientsPerMessage_->setRange(1, 1000);
    recipientsPerMessage_->setToolTip(QStringLiteral("How many recipients share one message of a mass send"));
    form->addRow(QStringLiteral("Recipients per message"), recipientsPerMessage_);
    messagesPerMinute_ = new QSpinBox;
    messagesPerMinute_->setRange(0, 10000);
    messagesPerMinute_->setSpecialValueText(QStringLiteral("no limit"));
    messagesPerMinute_->setToolTip(
        QStringLiteral("At most this many messages a minute; 0 sends without pause"));
    form->addRow(QStringLiteral("Messages per minute"), messagesPerMinute_);

    ok_ = new QPushButton(QStringLiteral("OK"));
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"));
    connect(ok_, &QPushButton::clicked, this, &DefaultsForm::save);
    connect(cancel_, &QPushButton::clicked, this, [this] { closeChildWindow(this); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    auto* recall = new QShortcut(QKeySequence(QStringLiteral("Ctrl+'")), this);
    recall->setContext(Qt::WidgetWithChildrenShortcut);
    connect(recall, &QShortcut::activated, this, &DefaultsForm::recallPreviousValue);

    // The form always has a record to change: an empty file gets a blank one.
    demo::data::SettingsTable settings(database_);
    record_ = settings.first();
    if (!record_ && !settings.error()) {
        errors_.show(settings.insertBlank());
        record_ = settings.first();
    }
    if (!record_) {
        errors_.show(settings.error());
        setEnabled(false);
        return;
    }
    showSettings(*record_);
    setWindowTitle(QStringLiteral("Standaard instellingen"));
    if (login_) {
        login_->knownPassword(record_->userName, this,
                              [this](const QString& stored) { showPassword(stored); });
    }
}

void DefaultsForm::showPassword(const QString& stored)
{
    // What the user typed while the keyring was answering wins.
    if (!password_->isModified()) password_->setText(stored);
    if (login_->keyringUnavailable()) {
        password_->setPlaceholderText(QStringLiteral("no keyring: kept until the program ends"));
        password_->setToolTip(QStringLiteral(
            "The desktop's keyring cannot be used: the password is kept in memory for this run only"));
    }
}

void DefaultsForm::showSettings(const Settings& settings)
{
    mailHost_->setText(settings.mailHost);
    user_->setText(settings.userName);
    mailer_->setText(settings.mailer);
    senderName_->setText(settings.senderName);
    senderEmail_->setText(settings.senderEmail);
    standardSubject_->setText(settings.standardSubject);
    footer_->setPlainText(settings.footer);
    recipientsPerMessage_->setValue(settings.recipientsPerMessage);
    messagesPerMinute_->setValue(settings.messagesPerMinute);
}

Settings DefaultsForm::values() const
{
    // Fields the form does not show keep their stored values.
    Settings settings = record_.value_or(Settings{});
    settings.mailHost = mailHost_->text();
    settings.userName = user_->text();
    settings.mailer = mailer_->text();
    settings.senderName = senderName_->text();
    settings.senderEmail = senderEmail_->text();
    settings.standardSubject = standardSubject_->text();
    settings.footer = footer_->toPlainText().left(width::Footer);
    settings.recipientsPerMessage = recipientsPerMessage_->value();
    settings.messagesPerMinute = messagesPerMinute_->value();
    return demo::data::normalized(settings);
}

void DefaultsForm::limitFooter()
{
    const QString text = footer_->toPlainText();
    if (text.size() <= width::Footer) return;
    // A paste past the limit is cut, the cursor kept at the end of the text.
    const QSignalBlocker quiet(footer_);
    footer_->setPlainText(text.left(width::Footer));
    footer_->moveCursor(QTextCursor::End);
}

void DefaultsForm::save()
{
    if (!record_) return;
    const Settings changed = values();
    Settings nowStored;
    const demo::data::DataError error =
        demo::data::SettingsTable(database_).update(*record_, changed, &nowStored);
    if (error.kind == demo::data::ErrorKind::ChangedByOther) {
        errors_.host().messageBox(
            (error.text + "|The values saved there are shown now. Press Ctrl+' in a field to put back what "
                          "you typed.")
                .toStdString(),
            error.title.toStdString(), quillnet::MessageIcon::Exclamation, quillnet::MessageButtons::Ok);
        recallCopy() = changed;
        record_ = nowStored;
        showSettings(nowStored);
        return;
    }
    if (error) {
        errors_.show(error);
        return;
    }
    recallCopy() = changed;
    const bool userChanged = nowStored.userName != record_->userName;
    if (login_ && (password_->isModified() || userChanged))
        login_->setPassword(nowStored.userName, password_->text());
    closeChildWindow(this);
}

void DefaultsForm::recallPreviousValue()
{
    const std::optional<Settings>& copy = recallCopy();
    if (!copy) return;
    QWidget* focused = focusWidget();
    const auto holds = [focused](QWidget* field) {
        return focused != nullptr && (focused == field || field->isAncestorOf(focused));
    };
    if (holds(mailHost_)) mailHost_->setText(copy->mailHost);
    if (holds(user_)) user_->setText(copy->userName);
    if (holds(mailer_)) mailer_->setText(copy->mailer);
    if (holds(senderName_)) senderName_->setText(copy->senderName);
    if (holds(senderEmail_)) senderEmail_->setText(copy->senderEmail);
    if (holds(standardSubject_)) standardSubject_->setText(copy->standardSubject);
    if (holds(footer_)) footer_->setPlainText(copy->footer);
    if (holds(recipientsPerMessage_)) recipientsPerMessage_->setValue(copy->recipientsPerMessage);
    if (holds(messagesPerMinute_)) messagesPerMinute_->setValue(copy->messagesPerMinute);
}

void DefaultsForm::navigate(NavigationButton button)
{
    if (button == NavigationButton::PreviousValue) recallPreviousValue();
}

}  // namespace demo
