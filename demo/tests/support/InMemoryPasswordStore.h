// A PasswordStore in a map, answering from the event loop as the keyring
// does. With the keyring "missing" every call ends Unavailable, as the real
// one does without a session bus.
#ifndef DEMO_INMEMORYPASSWORDSTORE_H
#define DEMO_INMEMORYPASSWORDSTORE_H

#include <QMap>
#include <QTimer>

#include "PasswordStore.h"

class InMemoryPasswordStore : public demo::PasswordStore {
public:
    QMap<QString, QString> entries;
    bool missing = false;
    int calls = 0;

    void read(const QString& key, QObject* context, Done done) override
    {
        answer(context, std::move(done), [this, key] {
            if (!entries.contains(key)) return Result{Status::NotFound, {}, {}};
            return Result{Status::Ok, entries.value(key), {}};
        });
    }
    void write(const QString& key, const QString& password, QObject* context, Done done) override
    {
        answer(context, std::move(done), [this, key, password] {
            entries.insert(key, password);
            return Result{};
        });
    }
    void remove(const QString& key, QObject* context, Done done) override
    {
        answer(context, std::move(done), [this, key] {
            return entries.remove(key) ? Result{} : Result{Status::NotFound, {}, {}};
        });
    }

private:
    template <typename Work>
    void answer(QObject* context, Done done, Work work)
    {
        ++calls;
        QTimer::singleShot(0, context, [this, done = std::move(done), work] {
            done(missing ? Result{Status::Unavailable, {}, QStringLiteral("no keyring in this test")}
                         : work());
        });
    }
};

#endif
