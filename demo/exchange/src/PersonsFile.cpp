#include "demo/exchange/PersonsFile.h"

#include <QFile>
#include <QSaveFile>

#include "demo/exchange/CsvReader.h"
#include "demo/exchange/CsvWriter.h"
#include "demo/exchange/VCardReader.h"
#include "demo/exchange/VCardWriter.h"

namespace demo::exchange {

ParsedPersons readPersonsBytes(const QByteArray& bytes)
{
    QByteArray start = bytes.left(64);
    if (start.startsWith("\xEF\xBB\xBF")) start.remove(0, 3);
    if (start.trimmed().toUpper().startsWith("BEGIN:VCARD")) return readVCards(bytes);
    return readCsv(bytes);
}

ParsedPersons readPersonsFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ParsedPersons out;
        out.fileError = QStringLiteral("The file %1 could not be read: %2").arg(path, file.errorString());
        return out;
    }
    return readPersonsBytes(file.readAll());
}

QString writePersonsFile(const QString& path, const std::vector<PersonRow>& rows, FileFormat format)
{
    const QByteArray bytes =
        format == FileFormat::Csv
            ? writeCsv(rows)
            : writeVCards(rows, format == FileFormat::VCard3 ? VCardVersion::V3 : VCardVersion::V4);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        return QStringLiteral("The file %1 could not be written: %2").arg(path, file.errorString());
    }
    return {};
}

QString fileFilter(FileFormat format)
{
    return format == FileFormat::Csv ? QStringLiteral("CSV files|*.csv")
                                     : QStringLiteral("vCard files|*.vcf");
}

QString fileExtension(FileFormat format)
{
    return format == FileFormat::Csv ? QStringLiteral("csv") : QStringLiteral("vcf");
}

}  // namespace demo::exchange
