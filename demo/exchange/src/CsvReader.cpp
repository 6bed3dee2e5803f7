#include "demo/exchange/CsvReader.h"

#include <array>

#include "demo/exchange/CsvColumns.h"
#include "demo/exchange/PersonRowCheck.h"
#include "demo/exchange/TextDecoding.h"

namespace demo::exchange {
namespace {

struct Record {
    int line = 0;
    QStringList fields;
    bool textAfterQuote = false;
};

bool isRecordEnd(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

// Splits the text into records; false (with `error`) on an unterminated
// quote, as everything after it would otherwise be one field.
bool splitRecords(const QString& text, std::vector<Record>& records, QString& error)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    int line = 1;
    auto countBreak = [&](qsizetype at) {
        // CR LF counts once, at its LF; a lone CR or LF counts itself.
        if (text.at(at) == QLatin1Char('\n'))
            ++line;
        else if (text.at(at) == QLatin1Char('\r') && (at + 1 >= n || text.at(at + 1) != QLatin1Char('\n')))
            ++line;
    };
    while (i < n) {
        Record record;
        record.line = line;
        for (;;) {
            QString field;
            if (i < n && text.at(i) == QLatin1Char('"')) {
                const int quoteLine = line;
                ++i;
                for (;;) {
                    if (i >= n) {
                        error = QStringLiteral("The quote opened on line %1 is never closed.").arg(quoteLine);
                        return false;
                    }
                    const qsizetype quote = text.indexOf(QLatin1Char('"'), i);
                    const qsizetype stop = quote < 0 ? n : quote;
                    for (qsizetype k = i; k < stop; ++k) countBreak(k);
                    field += QStringView(text).mid(i, stop - i);
                    i = stop;
                    if (i >= n) continue;
                    if (i + 1 < n && text.at(i + 1) == QLatin1Char('"')) {
                        field += QLatin1Char('"');
                        i += 2;
                    } else {
                        ++i;
                        break;
                    }
                }
                const qsizetype start = i;
                while (i < n && text.at(i) != QLatin1Char(',') && !isRecordEnd(text.at(i))) ++i;
                if (i > start) {
                    record.textAfterQuote = true;
                    field += QStringView(text).mid(start, i - start);
                }
            } else {
                const qsizetype start = i;
                while (i < n && text.at(i) != QLatin1Char(',') && !isRecordEnd(text.at(i))) ++i;
                field = text.mid(start, i - start);
            }
            record.fields << field;
            if (i < n && text.at(i) == QLatin1Char(',')) {
                ++i;
                continue;
            }
            if (i < n) {
                const bool crlf =
                    text.at(i) == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n');
                i += crlf ? 2 : 1;
                ++line;
            }
            break;
        }
        const bool blank = record.fields.size() == 1 && record.fields.front().trimmed().isEmpty();
        if (!blank) records.push_back(std::move(record));
    }
    return true;
}

}  // namespace

QStringList splitGroupsField(const QString& field)
{
    QStringList names;
    QString name;
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QChar c = field.at(i);
        if (c == QLatin1Char('\\') && i + 1 < field.size() &&
            (field.at(i + 1) == csv::groupSeparator || field.at(i + 1) == QLatin1Char('\\'))) {
            name += field.at(++i);
        } else if (c == csv::groupSeparator) {
            names << name;
            name.clear();
        } else {
            name += c;
        }
    }
    names << name;
    return names;
}

ParsedPersons readCsv(const QByteArray& bytes)
{
    ParsedPersons out;
    const std::optional<QString> text = decodeUtf8(bytes);
    if (!text) {
        out.fileError = QStringLiteral("The file is not UTF-8 text.");
        return out;
    }
    std::vector<Record> records;
    if (!splitRecords(*text, records, out.fileError)) return out;
    if (records.empty()) return out;

    // Where each known column sits in the file; -1 when the file has none.
    std::array<int, csv::ColumnCount> at;
    at.fill(-1);
    const Record& header = records.front();
    for (int f = 0; f < header.fields.size(); ++f) {
        const QString name = header.fields.at(f).trimmed();
        for (int c = 0; c < csv::ColumnCount; ++c) {
            if (name.compare(csv::columnNames[c], Qt::CaseInsensitive) != 0) continue;
            if (at[c] >= 0) {
                out.fileError =
                    QStringLiteral("The first line names the column \"%1\" twice.").arg(csv::columnNames[c]);
                return out;
            }
            at[c] = f;
        }
    }
    bool anyPersonColumn = false;
    for (int c = 0; c < csv::Groups; ++c) anyPersonColumn = anyPersonColumn || at[c] >= 0;
    if (!anyPersonColumn) {
        out.fileError = QStringLiteral(
            "The first line does not name the columns (\"First name\", \"Initials\", \"Infix\", \"Last "
            "name\", "
            "\"E-mail address\", \"Groups\").");
        return out;
    }

    const qsizetype columns = header.fields.size();
    for (std::size_t r = 1; r < records.size(); ++r) {
        const Record& record = records[r];
        if (record.fields.size() != columns) {
            out.unusable.push_back({record.line, QStringLiteral("%1 fields where the first line names %2")
                                                     .arg(record.fields.size())
                                                     .arg(columns)});
            continue;
        }
        if (record.textAfterQuote) {
            out.unusable.push_back({record.line, QStringLiteral("text after the closing quote of a field")});
            continue;
        }
        auto field = [&](int column) { return at[column] >= 0 ? record.fields.at(at[column]) : QString(); };
        PersonFields fields{field(csv::FirstName), field(csv::Initials),     field(csv::Infix),
                            field(csv::LastName),  field(csv::EmailAddress), {}};
        if (at[csv::Groups] >= 0) fields.groups = splitGroupsField(field(csv::Groups));
        takePersonRow(out, record.line, fields);
    }
    return out;
}

}  // namespace demo::exchange
