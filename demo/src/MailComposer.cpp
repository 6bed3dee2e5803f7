#include "MailComposer.h"

#include <cstdio>

#include "GlueText.h"

namespace demo {

namespace {

bool isAtomText(QChar c)
{
    if (c.unicode() >= 0x80) return true;  // UTF-8 letters are atoms in internationalised headers
    if (c.isLetterOrNumber()) return true;
    return QStringLiteral("!#$%&'*+-/=?^_`{|}~").contains(c);
}

template <size_t N>
void setBuffer(char (&buffer)[N], const std::string& text)
{
    std::snprintf(buffer, N, "%s", text.c_str());
}

}  // namespace

bool isSubmissionHost(const QString& mailHost)
{
    return mailHost.contains(QLatin1String("://"));
}

QString emptyAddressGroup(const QString& description)
{
    QString phrase = description.simplified();
    if (phrase.isEmpty()) phrase = QStringLiteral("Undisclosed recipients");
    bool plain = true;
    for (QChar c : phrase) plain = plain && (c == QLatin1Char(' ') || isAtomText(c));
    if (!plain) {
        phrase.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
        phrase.replace(QLatin1Char('"'), QStringLiteral("\\\""));
        phrase = QLatin1Char('"') + phrase + QLatin1Char('"');
    }
    return phrase + QStringLiteral(": ;");
}

QString toHeaderText(const MailContent& content, size_t recipientCount)
{
    if (!content.receiverText.trimmed().isEmpty()) return content.receiverText.left(mailwidth::ReceiverText);
    if (recipientCount > 1) return emptyAddressGroup(content.receiverDescription);
    return QString();
}

void composeMail(quillnet::WRENPOSTCLASS& mail, const MailContent& content, const RecipientList& recipients)
{
    using namespace mailwidth;
    mail.FREELISTS();
    mail.SETMAILHOST(glueText(content.mailHost, MailHost));
    const bool login = isSubmissionHost(content.mailHost);
    setBuffer(mail.USERNAME, login ? glueText(content.userName, kGlueTextBytes) : std::string());
    // A password is taken as typed: blanks at its end belong to it.
    setBuffer(mail.USERPASSWORD, login ? content.password.toStdString() : std::string());
    mail.SETMAILER(glueText(content.mailer, Mailer));
    mail.SETFROM(glueText(content.senderName, SenderName), glueText(content.senderAddress, SenderAddress));
    mail.SETRETURNPATH(glueText(content.senderAddress, SenderAddress));
    mail.SETSUBJECT(glueText(content.subject, Subject));
    if (content.html) {
        mail.SETMESSAGE(glueText(content.htmlFile, HtmlFile, 254), PART_HTML_FILE);
    } else {
        const QByteArray text = withCrLf(content.messageText.left(MessageText)).toUtf8();
        mail.SETMESSAGE(std::string_view(text.constData(), size_t(text.size())), PART_TEXT);
    }
    for (const QString& file : content.attachments)
        mail.ADDATTACHMENT(glueText(file, AttachmentFile, 254), PART_ATTACHMENT);
    for (const Recipient& r : recipients)
        mail.ADDTO(glueText(r.name, RecipientName), glueText(r.address, kGlueTextBytes));
    // Always set, also when empty: the object keeps the To text of an earlier send.
    mail.SETTONAME(glueText(toHeaderText(content, recipients.size()), kGlueTextBytes));
}

}  // namespace demo
