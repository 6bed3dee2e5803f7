#include "demo/exchange/VCardReader.h"

#include "demo/exchange/PersonRowCheck.h"
#include "demo/exchange/TextDecoding.h"
#include "demo/exchange/VCardWriter.h"

namespace demo::exchange {
namespace {

struct ContentLine {
    int line = 0;
    QString name;        // upper case, without a group prefix
    QStringList params;  // "KEY=VALUE" or bare values, as written
    QString value;       // still escaped
};

struct LogicalLine {
    int line = 0;
    QString text;
};

bool isQuotedPrintable(const QString& text)
{
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    return colon > 0 && text.left(colon).contains(QLatin1String("QUOTED-PRINTABLE"), Qt::CaseInsensitive);
}

// Physical lines joined: a line starting with a blank or tab continues the one
// before; a quoted-printable value ending in '=' continues on the next line.
std::vector<LogicalLine> unfold(const QString& text)
{
    std::vector<LogicalLine> lines;
    const qsizetype n = text.size();
    qsizetype i = 0;
    int number = 0;
    while (i < n) {
        qsizetype end = i;
        while (end < n && text.at(end) != QLatin1Char('\r') && text.at(end) != QLatin1Char('\n')) ++end;
        const QStringView physical = QStringView(text).mid(i, end - i);
        ++number;
        if (end < n && text.at(end) == QLatin1Char('\r') && end + 1 < n &&
            text.at(end + 1) == QLatin1Char('\n'))
            ++end;
        i = end + 1;

        if (!lines.empty() && !physical.isEmpty() &&
            (physical.front() == QLatin1Char(' ') || physical.front() == QLatin1Char('\t'))) {
            lines.back().text += physical.mid(1);
        } else if (!lines.empty() && lines.back().text.endsWith(QLatin1Char('=')) &&
                   isQuotedPrintable(lines.back().text)) {
            lines.back().text.chop(1);
            lines.back().text += physical;
        } else {
            lines.push_back({number, physical.toString()});
        }
    }
    return lines;
}

// Splits at `separator` outside double quotes.
QStringList splitOutsideQuotes(QStringView text, QChar separator)
{
    QStringList parts;
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && text.at(i) == separator) {
            parts << text.mid(start, i - start).toString();
            start = i + 1;
        }
    }
    parts << text.mid(start).toString();
    return parts;
}

bool parseContentLine(const LogicalLine& logical, ContentLine& out)
{
    bool quoted = false;
    qsizetype colon = -1;
    for (qsizetype i = 0; i < logical.text.size(); ++i) {
        const QChar c = logical.text.at(i);
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (c == QLatin1Char(':') && !quoted) {
            colon = i;
            break;
        }
    }
    if (colon <= 0) return false;
    QStringList head = splitOutsideQuotes(QStringView(logical.text).left(colon), QLatin1Char(';'));
    QString name = head.takeFirst().trimmed().toUpper();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0) name = name.mid(dot + 1);
    out.line = logical.line;
    out.name = name;
    out.params = head;
    out.value = logical.text.mid(colon + 1);
    return true;
}

QString paramValue(const ContentLine& line, const QString& key)
{
    for (const QString& param : line.params) {
        const qsizetype eq = param.indexOf(QLatin1Char('='));
        if (eq > 0 && param.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0) {
            QString value = param.mid(eq + 1).trimmed();
            if (value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')) && value.size() >= 2)
                value = value.mid(1, value.size() - 2);
            return value;
        }
    }
    return {};
}

bool hasBareParam(const ContentLine& line, const QString& value)
{
    for (const QString& param : line.params) {
        if (param.trimmed().compare(value, Qt::CaseInsensitive) == 0) return true;
    }
    return false;
}

bool isPreferred(const ContentLine& line)
{
    if (paramValue(line, QStringLiteral("PREF")) == QLatin1String("1")) return true;
    if (hasBareParam(line, QStringLiteral("PREF"))) return true;
    const QStringList types = paramValue(line, QStringLiteral("TYPE")).split(QLatin1Char(','));
    return types.contains(QStringLiteral("pref"), Qt::CaseInsensitive);
}

// The value with quoted-printable and a non-UTF-8 charset undone; escapes stay.
QString rawValue(const ContentLine& line)
{
    const bool qp = paramValue(line, QStringLiteral("ENCODING"))
                            .compare(QLatin1String("QUOTED-PRINTABLE"), Qt::CaseInsensitive) == 0 ||
                    hasBareParam(line, QStringLiteral("QUOTED-PRINTABLE"));
    if (!qp) return line.value;
    const QByteArray in = line.value.toUtf8();
    QByteArray bytes;
    bytes.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in.at(i) == '=' && i + 2 < in.size()) {
            bool ok = false;
            const int value = in.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                bytes += static_cast<char>(value);
                i += 2;
                continue;
            }
        }
        bytes += in.at(i);
    }
    const QString charset = paramValue(line, QStringLiteral("CHARSET"));
    if (!charset.isEmpty() && charset.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) != 0)
        return QString::fromLatin1(bytes);
    return QString::fromUtf8(bytes);
}

// Splits at an unescaped `separator`, then removes the escapes of each part.
QStringList splitUnescaped(const QString& value, QChar separator)
{
    QStringList parts;
    QString part;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('\\') && i + 1 < value.size()) {
            const QChar next = value.at(++i);
            if (next == QLatin1Char('n') || next == QLatin1Char('N'))
                part += QLatin1Char('\n');
            else if (next == QLatin1Char('\\') || next == QLatin1Char(',') || next == QLatin1Char(';') ||
                     next == QLatin1Char(':'))
                part += next;
            else
                part += QLatin1Char('\\') + QString(next);
        } else if (c == separator) {
            parts << part;
            part.clear();
        } else {
            part += c;
        }
    }
    parts << part;
    return parts;
}

QString unescaped(const QString& value)
{
    return splitUnescaped(value, QChar(0)).join(QString());
}

// The components of a structured value (split at ';'), each component's
// several values (split at ',') joined by blanks.
QStringList structured(const QString& value)
{
    QStringList components;
    // Split at unescaped ';' first, keeping escapes so commas can be told apart.
    QString component;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('\\') && i + 1 < value.size()) {
            component += c;
            component += value.at(++i);
        } else if (c == QLatin1Char(';')) {
            components << component;
            component.clear();
        } else {
            component += c;
        }
    }
    components << component;
    QStringList result;
    for (const QString& raw : components) {
        QStringList values = splitUnescaped(raw, QLatin1Char(','));
        for (QString& v : values) v = v.trimmed();
        values.removeAll(QString());
        result << values.join(QLatin1Char(' '));
    }
    return result;
}

struct Card {
    int line = 0;
    bool hasN = false;
    QStringList n;
    QString fullName;
    QString email;
    bool emailPreferred = false;
    QString initials;
    QStringList groups;
};

void takeProperty(Card& card, const ContentLine& line)
{
    if (line.name == QLatin1String("N") && !card.hasN) {
        card.hasN = true;
        card.n = structured(rawValue(line));
    } else if (line.name == QLatin1String("FN") && card.fullName.isEmpty()) {
        card.fullName = unescaped(rawValue(line));
    } else if (line.name == QLatin1String("EMAIL")) {
        QString address = unescaped(rawValue(line)).trimmed();
        if (address.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive)) address = address.mid(7);
        if (address.isEmpty()) return;
        const bool preferred = isPreferred(line);
        if (card.email.isEmpty() || (preferred && !card.emailPreferred)) {
            card.email = address;
            card.emailPreferred = preferred;
        }
    } else if (line.name == QLatin1String("CATEGORIES")) {
        card.groups << splitUnescaped(rawValue(line), QLatin1Char(','));
    } else if (line.name == QLatin1String(initialsProperty)) {
        card.initials = unescaped(rawValue(line));
    }
}

void takeCard(ParsedPersons& out, const Card& card)
{
    PersonFields fields;
    if (card.hasN) {
        fields.lastName = card.n.value(0);
        fields.firstName = card.n.value(1);
        fields.infix = card.n.value(2);
    } else {
        // Only a formatted name: the last word is taken as the last name.
        const QString full = card.fullName.simplified();
        const qsizetype blank = full.lastIndexOf(QLatin1Char(' '));
        fields.lastName = blank < 0 ? full : full.mid(blank + 1);
        fields.firstName = blank < 0 ? QString() : full.left(blank);
        if (!card.email.isEmpty() && full.compare(card.email, Qt::CaseInsensitive) == 0)
            fields.lastName.clear();
    }
    fields.initials = card.initials;
    fields.emailAddress = card.email;
    fields.groups = card.groups;
    takePersonRow(out, card.line, fields);
}

}  // namespace

ParsedPersons readVCards(const QByteArray& bytes)
{
    ParsedPersons out;
    const std::optional<QString> text = decodeUtf8(bytes);
    if (!text) {
        out.fileError = QStringLiteral("The file is not UTF-8 text.");
        return out;
    }
    Card card;
    int depth = 0;  // vCards of version 2.1 may nest one (AGENT); only the outer one counts
    bool sawCard = false;
    for (const LogicalLine& logical : unfold(*text)) {
        ContentLine line;
        if (!parseContentLine(logical, line)) continue;
        const QString value = line.value.trimmed();
        if (line.name == QLatin1String("BEGIN") &&
            value.compare(QLatin1String("VCARD"), Qt::CaseInsensitive) == 0) {
            if (depth++ == 0) {
                card = Card();
                card.line = logical.line;
            }
            sawCard = true;
        } else if (line.name == QLatin1String("END") &&
                   value.compare(QLatin1String("VCARD"), Qt::CaseInsensitive) == 0) {
            if (depth == 0) continue;
            if (--depth == 0) takeCard(out, card);
        } else if (depth == 1) {
            takeProperty(card, line);
        }
    }
    if (depth > 0) {
        out.rows.clear();
        out.unusable.clear();
        out.warnings.clear();
        out.fileError = QStringLiteral("The vCard begun on line %1 has no END:VCARD.").arg(card.line);
    } else if (!sawCard && !text->trimmed().isEmpty()) {
        out.fileError = QStringLiteral("The file holds no vCard (no BEGIN:VCARD).");
    }
    return out;
}

}  // namespace demo::exchange
