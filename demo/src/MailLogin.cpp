#include "MailLogin.h"

#include <QPointer>
#include <QTimer>

#include "GlueText.h"

namespace demo {

namespace {

const char* const kCaption = "Mail login";

// Runs `call` from the event loop, in `context` (not at all once it is gone),
// so a password question never opens inside the keyring's reply.
void later(QObject* context, std::function<void()> call)
{
    QTimer::singleShot(0, context, std::move(call));
}

}  // namespace

MailLogin::MailLogin(PasswordStore& store, quillnet::HostServices& host, QObject* parent)
    : QObject(parent), store_(store), host_(host)
{
}

void MailLogin::passwordForSend(const QString& user, const QString& mailHost, QObject* context, Ready given)
{
    // The glue's password field holds kGlueTextBytes bytes: a longer password
    // would be cut and the login fail with nothing to tell the user why.
    Ready ready = [this, given](const std::optional<QString>& password) {
        if (password && password->toUtf8().size() > kGlueTextBytes) {
            host_.messageBox(QStringLiteral("The password is longer than the %1 bytes a mail login can take.|"
                                            "Nothing was sent.")
                                 .arg(kGlueTextBytes)
                                 .toStdString(),
                             kCaption, quillnet::MessageIcon::Exclamation, quillnet::MessageButtons::Ok);
            return given(std::nullopt);
        }
        given(password);
    };
    const auto known = known_.constFind(user);
    if (known != known_.constEnd()) return ready(*known);
    if (refused_.contains(user)) return ready(ask(user, mailHost));
    if (keyringUnavailable_) {
        tellOnce();
        return ready(ask(user, mailHost));
    }

    QPointer<QObject> receiver(context);
    store_.read(user, this, [this, user, mailHost, receiver, ready](const PasswordStore::Result& result) {
        if (result.status == PasswordStore::Status::Ok) known_.insert(user, result.password);
        if (result.status == PasswordStore::Status::Unavailable) noteUnavailable(result.error);
        if (!receiver) return;
        later(receiver, [this, user, mailHost, ready] {
            const auto found = known_.constFind(user);
            if (found != known_.constEnd()) return ready(*found);
            if (keyringUnavailable_) tellOnce();
            ready(ask(user, mailHost));
        });
    });
}

void MailLogin::knownPassword(const QString& user, QObject* context,
                              std::function<void(const QString&)> ready)
{
    const auto known = known_.constFind(user);
    if (known != known_.constEnd()) return ready(*known);
    if (keyringUnavailable_ || user.isEmpty()) return ready(QString());

    QPointer<QObject> receiver(context);
    store_.read(user, this, [this, user, receiver, ready](const PasswordStore::Result& result) {
        if (result.status == PasswordStore::Status::Ok) known_.insert(user, result.password);
        // Only noted: the form shows it, and a send says so when it asks.
        if (result.status == PasswordStore::Status::Unavailable) noteUnavailable(result.error);
        if (receiver) ready(known_.value(user));
    });
}

void MailLogin::setPassword(const QString& user, const QString& password)
{
    if (user.isEmpty()) return;
    const auto failed = [this](const PasswordStore::Result& result) {
        if (result.status != PasswordStore::Status::Unavailable) return;
        noteUnavailable(result.error);
        later(this, [this] { tellOnce(); });
    };
    if (password.isEmpty()) {
        known_.remove(user);
        if (!keyringUnavailable_) store_.remove(user, this, failed);
        return;
    }
    // Known at once, so a send started before the keyring has answered uses it.
    known_.insert(user, password);
    if (keyringUnavailable_) return tellOnce();
    store_.write(user, password, this, failed);
}

void MailLogin::refused(const QString& user)
{
    known_.remove(user);
    refused_.insert(user);
}

std::optional<QString> MailLogin::ask(const QString& user, const QString& mailHost)
{
    const std::optional<std::string> answer = host_.askPassword(
        QStringLiteral("Password of %1 at %2:").arg(user, mailHost).toStdString(), kCaption);
    if (!answer) return std::nullopt;
    const QString password = QString::fromStdString(*answer);
    known_.insert(user, password);
    refused_.remove(user);
    return password;
}

void MailLogin::noteUnavailable(const QString& reason)
{
    if (!keyringUnavailable_) unavailableReason_ = reason;
    keyringUnavailable_ = true;
}

void MailLogin::tellOnce()
{
    if (told_) return;
    told_ = true;
    QString text = QStringLiteral("The desktop's keyring cannot be used");
    if (!unavailableReason_.isEmpty()) text += QStringLiteral(" (%1)").arg(unavailableReason_);
    text += QStringLiteral(
        ".|The mail password is asked for when a send needs it and kept only until the "
        "program ends.");
    host_.messageBox(text.toStdString(), kCaption, quillnet::MessageIcon::Information,
                     quillnet::MessageButtons::Ok);
}

}  // namespace demo
