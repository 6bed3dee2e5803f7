// The login at a mail host given as a URL (smtp+starttls://, smtps://): the
// user name is a setting, the password lives in the PasswordStore (the
// desktop's keyring). Where the keyring cannot be used, the password is asked
// for at the first send of the run that needs it and kept in memory until the
// program ends, and the user is told so once.
//
// One object for the whole run, on the window thread; every call is made
// there and never waits for the keyring.
#ifndef DEMO_MAILLOGIN_H
#define DEMO_MAILLOGIN_H

#include <QHash>
#include <QSet>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

#include "PasswordStore.h"
#include "quillnet/hostservices.h"

namespace demo {

class MailLogin : public QObject {
    Q_OBJECT

public:
    MailLogin(PasswordStore& store, quillnet::HostServices& host, QObject* parent = nullptr);

    // The password of `user` for a send to `mailHost`: the one known in this
    // run, else the keyring's, else the user's answer to a password question.
    // No value when the user cancelled the question: nothing should be sent.
    // `ready` runs once on the window thread (at once when the password is
    // known), never after `context` has been destroyed.
    using Ready = std::function<void(const std::optional<QString>& password)>;
    void passwordForSend(const QString& user, const QString& mailHost, QObject* context, Ready ready);

    // The server refused `user`'s login: the password known for this run is
    // dropped, and the next send asks the user instead of using it or the
    // keyring's again.
    void refused(const QString& user);

    // The password as far as it is known without asking (empty when none),
    // for the Defaults form to show. Same rules for `ready` as above.
    void knownPassword(const QString& user, QObject* context, std::function<void(const QString&)> ready);

    // The password the user gave in the Defaults form, into the keyring (or
    // memory only, without one); an empty one removes the stored password.
    void setPassword(const QString& user, const QString& password);

    // True once the keyring has failed in this run: passwords then stay in
    // memory only.
    bool keyringUnavailable() const { return keyringUnavailable_; }

private:
    std::optional<QString> ask(const QString& user, const QString& mailHost);
    void noteUnavailable(const QString& reason);
    void tellOnce();  // that passwords stay in memory, the first time it matters

    PasswordStore& store_;
    quillnet::HostServices& host_;
    QHash<QString, QString> known_;  // user -> password, for this run only
    QSet<QString> refused_;          // users whose password the server refused
    bool keyringUnavailable_ = false;
    QString unavailableReason_;
    bool told_ = false;
};

}  // namespace demo

#endif
