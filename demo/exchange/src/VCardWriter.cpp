#include "demo/exchange/VCardWriter.h"

#include "demo/data/DisplayName.h"

namespace demo::exchange {
namespace {

QString escaped(QString text)
{
    text.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    text.replace(QLatin1String(","), QLatin1String("\\,"));
    text.replace(QLatin1String(";"), QLatin1String("\\;"));
    text.replace(QLatin1String("\r\n"), QLatin1String("\\n"));
    text.replace(QLatin1String("\n"), QLatin1String("\\n"));
    text.replace(QLatin1String("\r"), QLatin1String("\\n"));
    return text;
}

// Content lines longer than 75 bytes continue on lines starting with a blank.
void appendFolded(QByteArray& out, const QString& line)
{
    const QByteArray bytes = line.toUtf8();
    qsizetype start = 0;
    int room = 75;
    while (bytes.size() - start > room) {
        qsizetype cut = start + room;
        while (cut > start && (static_cast<unsigned char>(bytes.at(cut)) & 0xC0) == 0x80) --cut;
        out += bytes.mid(start, cut - start);
        out += "\r\n ";
        start = cut;
        room = 74;
    }
    out += bytes.mid(start);
    out += "\r\n";
}

}  // namespace

QByteArray writeVCards(const std::vector<PersonRow>& rows, VCardVersion version)
{
    QByteArray out;
    out.reserve(static_cast<qsizetype>(rows.size()) * 160);
    for (const PersonRow& row : rows) {
        const data::Person& p = row.person;
        out += "BEGIN:VCARD\r\n";
        out += version == VCardVersion::V4 ? "VERSION:4.0\r\n" : "VERSION:3.0\r\n";
        QString fullName = data::displayName(p, false);
        if (fullName.trimmed().isEmpty()) fullName = p.emailAddress;
        appendFolded(out, QStringLiteral("FN:") + escaped(fullName));
        appendFolded(
            out,
            QStringLiteral("N:%1;%2;%3;;").arg(escaped(p.lastName), escaped(p.firstName), escaped(p.infix)));
        if (!p.initials.isEmpty())
            appendFolded(out, QLatin1String(initialsProperty) + QLatin1Char(':') + escaped(p.initials));
        if (!p.emailAddress.isEmpty()) {
            appendFolded(out, (version == VCardVersion::V4 ? QStringLiteral("EMAIL:")
                                                           : QStringLiteral("EMAIL;TYPE=INTERNET:")) +
                                  escaped(p.emailAddress));
        }
        if (!row.groups.isEmpty()) {
            QStringList names;
            for (const QString& name : row.groups) names << escaped(name);
            appendFolded(out, QStringLiteral("CATEGORIES:") + names.join(QLatin1Char(',')));
        }
        out += "END:VCARD\r\n";
    }
    return out;
}

}  // namespace demo::exchange
