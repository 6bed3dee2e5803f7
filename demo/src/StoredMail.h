// A mail as the send journal keeps it: everything the send sequence puts
// into the glue object apart from the recipients, the charset the library
// wrote it in, and a fingerprint of every file it carries. A resend after a
// restart sends this mail, not whatever the compose window holds by then,
// and finds out when a file has gone or changed since.
#ifndef DEMO_STOREDMAIL_H
#define DEMO_STOREDMAIL_H

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

#include "MailContent.h"

namespace demo {

struct FileFingerprint {
    QString path;
    qint64 size = -1;  // -1: the file could not be read
    QByteArray sha256;
    bool operator==(const FileFingerprint& o) const
    {
        return path == o.path && size == o.size && sha256 == o.sha256;
    }
};

struct StoredMail {
    MailContent content;
    QByteArray charset;                  // MM_CHARSET as the library saw it
    std::vector<FileFingerprint> files;  // the HTML file in HTML mode, then the attachments
};

// Reads every file the mail carries; call it where reading may take time.
FileFingerprint fingerprintOf(const QString& path);
StoredMail storedMailOf(const MailContent& content);

QString storedMailText(const StoredMail& mail);
// Empty for a blank text (a send recorded before mails were kept) or one
// that is not a stored mail.
std::optional<StoredMail> storedMailFromText(const QString& text);

struct FileChanges {
    QStringList gone;     // cannot be read now
    QStringList changed;  // readable, but not as it was sent
    bool any() const { return !gone.isEmpty() || !changed.isEmpty(); }
};
FileChanges fileChangesSince(const StoredMail& mail);

}  // namespace demo

#endif
