// Puts one mail into the glue object in the order the compose window sends:
// FREELISTS, the setters, the message, the attachments, the recipients and
// the To header text. The login goes into USERNAME and USERPASSWORD for a
// submission host only; for any other host both are emptied. Used for every batch of a mass send, so no batch
// ever carries lists of the one before it.
#ifndef DEMO_MAILCOMPOSER_H
#define DEMO_MAILCOMPOSER_H

#include "MailContent.h"
#include "Recipient.h"
#include "quillnet/wrenpostclass.h"

namespace demo {

// Widths of the compose window's fields, in characters.
namespace mailwidth {
constexpr int SenderName = 120, SenderAddress = 120, Subject = 120, MessageText = 2500, HtmlFile = 255,
              ReceiverText = 120, ReceiverDescription = 150, RecipientName = 120, MailHost = 120, Mailer = 120,
              AttachmentFile = 255;
}

// True for a mail host given as a URL ("smtp+starttls://...", "smtps://..."):
// the library then submits over TLS and logs in with the user and password.
bool isSubmissionHost(const QString& mailHost);

// The To header text for a mail to `recipientCount` people: the receiver
// text when given; else, for more than one recipient, the receiver
// description as an empty group ("Friends: ;") so that nobody sees the
// others' addresses; else empty (the library writes the one address).
QString toHeaderText(const MailContent& content, size_t recipientCount);

// `description` as the display name of an empty address group, quoted when
// it holds anything but words of atom characters.
QString emptyAddressGroup(const QString& description);

void composeMail(quillnet::WRENPOSTCLASS& mail, const MailContent& content, const RecipientList& recipients);

}  // namespace demo

#endif
