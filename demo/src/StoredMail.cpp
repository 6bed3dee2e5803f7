#include "StoredMail.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace demo {

namespace {

// Bumped when the stored form changes, so that an older program does not
// resend a mail it reads only in part.
constexpr int kFormat = 1;

QStringList filesOf(const MailContent& content)
{
    QStringList files;
    if (content.html) files << content.htmlFile.trimmed();
    for (const QString& a : content.attachments) files << a.trimmed();
    return files;
}

QString s(const QJsonObject& o, const char* key)
{
    return o.value(QLatin1String(key)).toString();
}

}  // namespace

FileFingerprint fingerprintOf(const QString& path)
{
    FileFingerprint print;
    print.path = path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return print;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) return print;
    print.size = file.size();
    print.sha256 = hash.result().toHex();
    return print;
}

StoredMail storedMailOf(const MailContent& content)
{
    StoredMail mail;
    mail.content = content;
    mail.charset = qgetenv("MM_CHARSET");
    for (const QString& path : filesOf(content)) mail.files.push_back(fingerprintOf(path));
    return mail;
}

QString storedMailText(const StoredMail& mail)
{
    const MailContent& c = mail.content;
    QJsonArray files;
    for (const FileFingerprint& f : mail.files)
        files.append(QJsonObject{
            {"path", f.path}, {"size", double(f.size)}, {"sha256", QString::fromLatin1(f.sha256)}});
    const QJsonObject o{{"format", kFormat},
                        {"mailHost", c.mailHost},
                        {"mailer", c.mailer},
                        // the login's user, never its password
                        {"userName", c.userName},
                        {"senderName", c.senderName},
                        {"senderAddress", c.senderAddress},
                        {"subject", c.subject},
                        {"messageText", c.messageText},
                        {"html", c.html},
                        {"htmlFile", c.htmlFile},
                        {"receiverText", c.receiverText},
                        {"receiverDescription", c.receiverDescription},
                        {"attachments", QJsonArray::fromStringList(c.attachments)},
                        {"charset", QString::fromLatin1(mail.charset)},
                        {"files", files}};
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

std::optional<StoredMail> storedMailFromText(const QString& text)
{
    if (text.trimmed().isEmpty()) return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    const QJsonObject o = document.object();
    if (!document.isObject() || o.value(QLatin1String("format")).toInt() != kFormat) return std::nullopt;
    StoredMail mail;
    MailContent& c = mail.content;
    c.mailHost = s(o, "mailHost");
    c.mailer = s(o, "mailer");
    c.userName = s(o, "userName");
    c.senderName = s(o, "senderName");
    c.senderAddress = s(o, "senderAddress");
    c.subject = s(o, "subject");
    c.messageText = s(o, "messageText");
    c.html = o.value(QLatin1String("html")).toBool();
    c.htmlFile = s(o, "htmlFile");
    c.receiverText = s(o, "receiverText");
    c.receiverDescription = s(o, "receiverDescription");
    for (const QJsonValue& a : o.value(QLatin1String("attachments")).toArray()) c.attachments << a.toString();
    mail.charset = s(o, "charset").toLatin1();
    for (const QJsonValue& v : o.value(QLatin1String("files")).toArray()) {
        const QJsonObject f = v.toObject();
        mail.files.push_back(
            {s(f, "path"), qint64(f.value(QLatin1String("size")).toDouble(-1)), s(f, "sha256").toLatin1()});
    }
    return mail;
}

FileChanges fileChangesSince(const StoredMail& mail)
{
    FileChanges changes;
    for (const FileFingerprint& then : mail.files) {
        const FileFingerprint now = fingerprintOf(then.path);
        if (now.size < 0)
            changes.gone << then.path;
        else if (!(now == then))
            changes.changed << then.path;
    }
    return changes;
}

}  // namespace demo
