#include "KeychainPasswordStore.h"

#include <qt6keychain/keychain.h>

#include <QObject>

namespace demo {

namespace {

PasswordStore::Result resultOf(const QKeychain::Job& job)
{
    PasswordStore::Result result;
    switch (job.error()) {
        case QKeychain::NoError:
            result.status = PasswordStore::Status::Ok;
            break;
        case QKeychain::EntryNotFound:
            result.status = PasswordStore::Status::NotFound;
            break;
        default:
            // No backend, no session bus, a locked keyring the user would not
            // open: to the program all the same, the keyring cannot be used.
            result.status = PasswordStore::Status::Unavailable;
            result.error = job.errorString();
            break;
    }
    return result;
}

// Starts `job` with the result going to `done` in `context`. The job deletes
// itself once it has finished, also when `context` went first; the
// connection through `context` makes sure `done` then never runs.
template <typename Job, typename Finish>
void start(Job* job, const QString& key, QObject* context, Finish finish)
{
    job->setAutoDelete(true);
    // Its fall-back would put the password into a plain-text settings file.
    job->setInsecureFallback(false);
    job->setKey(key);
    QObject::connect(job, &QKeychain::Job::finished, context,
                     [finish](QKeychain::Job* finished) { finish(static_cast<Job&>(*finished)); });
    job->start();
}

}  // namespace

KeychainPasswordStore::KeychainPasswordStore(QString service) : service_(std::move(service)) {}

void KeychainPasswordStore::read(const QString& key, QObject* context, Done done)
{
    start(new QKeychain::ReadPasswordJob(service_), key, context,
          [done = std::move(done)](QKeychain::ReadPasswordJob& job) {
              Result result = resultOf(job);
              if (result.status == Status::Ok) result.password = job.textData();
              done(result);
          });
}

void KeychainPasswordStore::write(const QString& key, const QString& password, QObject* context, Done done)
{
    auto* job = new QKeychain::WritePasswordJob(service_);
    job->setTextData(password);
    start(job, key, context,
          [done = std::move(done)](QKeychain::WritePasswordJob& job) { done(resultOf(job)); });
}

void KeychainPasswordStore::remove(const QString& key, QObject* context, Done done)
{
    start(new QKeychain::DeletePasswordJob(service_), key, context,
          [done = std::move(done)](QKeychain::DeletePasswordJob& job) { done(resultOf(job)); });
}

}  // namespace demo
