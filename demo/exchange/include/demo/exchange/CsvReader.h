// Reads persons from comma-separated text (RFC 4180): quoted fields with ""
// for a quote, line breaks inside quotes, CR LF or LF line ends, UTF-8 with
// or without a byte order mark, a header row naming the columns.
#ifndef DEMO_EXCHANGE_CSVREADER_H
#define DEMO_EXCHANGE_CSVREADER_H

#include <QByteArray>

#include "demo/exchange/PersonRows.h"

namespace demo::exchange {

// Blank lines are passed over. A row with another number of fields than the
// header, or with text after a closing quote, is unusable; an unterminated
// quote, a header naming none of the columns or naming one twice makes the
// whole file unreadable.
ParsedPersons readCsv(const QByteArray& bytes);

// The groups field split at unescaped ';', escapes removed.
QStringList splitGroupsField(const QString& field);

}  // namespace demo::exchange

#endif
