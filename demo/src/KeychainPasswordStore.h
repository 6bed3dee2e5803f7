// The passwords in the desktop's keyring (Secret Service, KWallet, ...)
// through QtKeychain, all under one service name. Where no keyring answers
// (no session bus, as on a server or in CI) every call ends Unavailable; the
// library's own fall-back to a plain-text settings file stays switched off.
#ifndef DEMO_KEYCHAINPASSWORDSTORE_H
#define DEMO_KEYCHAINPASSWORDSTORE_H

#include "PasswordStore.h"

namespace demo {

class KeychainPasswordStore : public PasswordStore {
public:
    explicit KeychainPasswordStore(QString service = QStringLiteral("quillnet demo mail login"));

    void read(const QString& key, QObject* context, Done done) override;
    void write(const QString& key, const QString& password, QObject* context, Done done) override;
    void remove(const QString& key, QObject* context, Done done) override;

private:
    QString service_;
};

}  // namespace demo

#endif
