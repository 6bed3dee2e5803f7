// Where the program keeps the password of the mail login: the desktop's
// keyring in the program, a map in memory in tests. Never the database, never
// an INI file.
//
// Every call is asynchronous, as the keyring answers over D-Bus: it returns at
// once and `done` runs later on the calling thread's event loop, exactly once,
// unless `context` has been destroyed by then (a window closed while the
// keyring was still answering): then it does not run at all. Call from a
// thread with an event loop, in practice the window thread.
#ifndef DEMO_PASSWORDSTORE_H
#define DEMO_PASSWORDSTORE_H

#include <QString>
#include <functional>

class QObject;

namespace demo {

class PasswordStore {
public:
    enum class Status {
        Ok,          // done; for a read, `password` holds the secret
        NotFound,    // a read or delete of a key the store does not hold
        Unavailable  // no keyring here, or it refused: `error` says why
    };
    struct Result {
        Status status = Status::Ok;
        QString password;
        QString error;
    };
    using Done = std::function<void(const Result&)>;

    virtual ~PasswordStore() = default;

    virtual void read(const QString& key, QObject* context, Done done) = 0;
    virtual void write(const QString& key, const QString& password, QObject* context, Done done) = 0;
    virtual void remove(const QString& key, QObject* context, Done done) = 0;
};

}  // namespace demo

#endif
