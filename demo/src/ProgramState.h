// The values the whole program shares: the display-name option, the figures
// of the send that is running and the mail object of the open mail window.
// Windows on the window thread and sends on their own threads read and write
// them, so each one is atomic. The mail login is set once, before the frame
// opens, and used on the window thread only.
#ifndef DEMO_PROGRAMSTATE_H
#define DEMO_PROGRAMSTATE_H

#include <QObject>
#include <atomic>
#include <cstdint>

#include "quillnet/wrenpostclass.h"

namespace demo {

class MailLogin;

class ProgramState : public QObject {
    Q_OBJECT

public:
    // Persons shown as "last, first infix" instead of "first infix last".
    // Off at every start; never saved.
    bool lastNameFirst() const { return lastNameFirst_; }
    void setLastNameFirst(bool on);

    int32_t progressPercentage() const { return progressPercentage_; }
    void setProgressPercentage(int32_t percent) { progressPercentage_ = percent; }

    // The result of the last send, 0 until one has run.
    int32_t sendResult() const { return sendResult_; }
    void setSendResult(int32_t result) { sendResult_ = result; }

    // The mail object of the open mail window, or nullptr; that window sets
    // it when it opens and clears it before the object goes.
    quillnet::WRENPOSTCLASS* mail() const { return mail_; }
    void setMail(quillnet::WRENPOSTCLASS* mail) { mail_ = mail; }

    // The login for a mail host given as a URL, or nullptr: sends then carry none.
    MailLogin* mailLogin() const { return mailLogin_; }
    void setMailLogin(MailLogin* login) { mailLogin_ = login; }

signals:
    void lastNameFirstChanged(bool on);

private:
    std::atomic<bool> lastNameFirst_{false};
    std::atomic<int32_t> progressPercentage_{0};
    std::atomic<int32_t> sendResult_{0};
    std::atomic<quillnet::WRENPOSTCLASS*> mail_{nullptr};
    MailLogin* mailLogin_ = nullptr;
};

}  // namespace demo

#endif
