#include "demo/exchange/CsvWriter.h"

#include "demo/exchange/CsvColumns.h"

namespace demo::exchange {
namespace {

void appendField(QString& out, const QString& value, bool last)
{
    out += QLatin1Char('"');
    QString escaped = value;
    escaped.replace(QLatin1String("\""), QLatin1String("\"\""));
    out += escaped;
    out += QLatin1Char('"');
    out += last ? QLatin1String("\r\n") : QLatin1String(",");
}

}  // namespace

QString joinGroupsField(const QStringList& groups)
{
    QStringList escaped;
    escaped.reserve(groups.size());
    for (QString name : groups) {
        name.replace(QLatin1String("\\"), QLatin1String("\\\\"));
        name.replace(QLatin1String(";"), QLatin1String("\\;"));
        escaped << name;
    }
    return escaped.join(csv::groupSeparator);
}

QByteArray writeCsv(const std::vector<PersonRow>& rows)
{
    QString text;
    text.reserve(static_cast<qsizetype>(rows.size()) * 80 + 100);
    for (int c = 0; c < csv::ColumnCount; ++c)
        appendField(text, csv::columnNames[c], c == csv::ColumnCount - 1);
    for (const PersonRow& row : rows) {
        appendField(text, row.person.firstName, false);
        appendField(text, row.person.initials, false);
        appendField(text, row.person.infix, false);
        appendField(text, row.person.lastName, false);
        appendField(text, row.person.emailAddress, false);
        appendField(text, joinGroupsField(row.groups), true);
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

}  // namespace demo::exchange
