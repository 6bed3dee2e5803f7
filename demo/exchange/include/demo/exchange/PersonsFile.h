// Persons files on disk: which format a file is in, reading it whole,
// writing it so that a failed write never leaves half a file behind.
#ifndef DEMO_EXCHANGE_PERSONSFILE_H
#define DEMO_EXCHANGE_PERSONSFILE_H

#include <QString>

#include "demo/exchange/PersonRows.h"

namespace demo::exchange {

enum class FileFormat { Csv, VCard3, VCard4 };

// A file whose first text is BEGIN:VCARD is read as vCards, any other as CSV,
// whatever its name says.
ParsedPersons readPersonsFile(const QString& path);
ParsedPersons readPersonsBytes(const QByteArray& bytes);

// An error text for the user, empty on success.
QString writePersonsFile(const QString& path, const std::vector<PersonRow>& rows, FileFormat format);

// The file dialog's filter ("name|pattern") and the usual extension.
QString fileFilter(FileFormat format);
QString fileExtension(FileFormat format);

}  // namespace demo::exchange

#endif
