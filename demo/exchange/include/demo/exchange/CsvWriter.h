#ifndef DEMO_EXCHANGE_CSVWRITER_H
#define DEMO_EXCHANGE_CSVWRITER_H

#include <QByteArray>
#include <vector>

#include "demo/exchange/PersonRows.h"

namespace demo::exchange {

// The header and one row per person, every field quoted, CR LF line ends,
// UTF-8 with a byte order mark (so spreadsheets take it as UTF-8).
QByteArray writeCsv(const std::vector<PersonRow>& rows);

QString joinGroupsField(const QStringList& groups);

}  // namespace demo::exchange

#endif
