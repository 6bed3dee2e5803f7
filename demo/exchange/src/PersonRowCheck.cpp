#include "demo/exchange/PersonRowCheck.h"

namespace demo::exchange {
namespace {

QString oneLine(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.trimmed();
}

// Cut to `width` characters, never between the halves of a surrogate pair.
QString cutTo(const QString& text, int width, const QString& what, int line, ParsedPersons& out)
{
    if (text.size() <= width) return text;
    int cut = width;
    if (cut > 0 && text.at(cut - 1).isHighSurrogate()) --cut;
    out.warnings.push_back({line, QStringLiteral("%1 cut to %2 characters").arg(what).arg(width)});
    return text.left(cut).trimmed();
}

bool isPlainAddress(const QString& address)
{
    const int at = address.indexOf(QLatin1Char('@'));
    if (at <= 0 || at == address.size() - 1) return false;
    for (const QChar c : address) {
        if (c.isSpace() || c.category() == QChar::Other_Control) return false;
        if (QStringLiteral(",;<>\"").contains(c)) return false;
    }
    return true;
}

}  // namespace

void takePersonRow(ParsedPersons& out, int line, const PersonFields& fields)
{
    const QString address = fields.emailAddress.trimmed();
    if (!address.isEmpty() && !address.contains(QLatin1Char('@'))) {
        out.unusable.push_back({line, QStringLiteral("the e-mail address \"%1\" has no \"@\"").arg(address)});
        return;
    }
    if (!address.isEmpty() && !isPlainAddress(address)) {
        out.unusable.push_back({line, QStringLiteral("\"%1\" is not one plain e-mail address").arg(address)});
        return;
    }
    if (address.size() > data::width::EmailAddress) {
        // A cut address would reach someone else or no one: refuse it.
        out.unusable.push_back({line, QStringLiteral("the e-mail address is longer than %1 characters")
                                          .arg(data::width::EmailAddress)});
        return;
    }
    PersonRow row;
    row.line = line;
    const std::size_t warningsBefore = out.warnings.size();
    row.person.firstName =
        cutTo(oneLine(fields.firstName), data::width::FirstName, QStringLiteral("First name"), line, out);
    row.person.initials =
        cutTo(oneLine(fields.initials), data::width::Initials, QStringLiteral("Initials"), line, out);
    row.person.infix = cutTo(oneLine(fields.infix), data::width::Infix, QStringLiteral("Infix"), line, out);
    row.person.lastName =
        cutTo(oneLine(fields.lastName), data::width::LastName, QStringLiteral("Last name"), line, out);
    row.person.emailAddress = address;
    if (address.isEmpty() && row.person.firstName.isEmpty() && row.person.initials.isEmpty() &&
        row.person.infix.isEmpty() && row.person.lastName.isEmpty()) {
        out.warnings.resize(warningsBefore);
        out.unusable.push_back({line, QStringLiteral("no name and no e-mail address")});
        return;
    }
    for (const QString& raw : fields.groups) {
        const QString name =
            cutTo(oneLine(raw), data::width::GroupName, QStringLiteral("Group name"), line, out);
        if (name.isEmpty()) continue;
        if (!row.groups.contains(name, Qt::CaseInsensitive)) row.groups << name;
    }
    out.rows.push_back(std::move(row));
}

}  // namespace demo::exchange
