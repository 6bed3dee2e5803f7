// The values of one mail as the compose window holds them, apart from its
// recipients: everything a batch of a mass send repeats.
#ifndef DEMO_MAILCONTENT_H
#define DEMO_MAILCONTENT_H

#include <QString>
#include <QStringList>

namespace demo {

struct MailContent {
    QString mailHost;
    // The login, used only when mailHost is a URL (isSubmissionHost). The
    // password is filled in just before a send and never kept for the next.
    QString userName;
    QString password;
    QString mailer;
    QString senderName;
    QString senderAddress;
    QString subject;
    QString messageText;          // sent when html is false
    bool html = false;
    QString htmlFile;             // sent when html is true
    QString receiverText;         // the To header the user asked for, may be blank
    QString receiverDescription;  // "All", a group's name or a person's display name
    QStringList attachments;      // file paths in list order
};

}  // namespace demo

#endif
