#ifndef DEMO_EXCHANGE_TEXTDECODING_H
#define DEMO_EXCHANGE_TEXTDECODING_H

#include <QByteArray>
#include <QString>
#include <optional>

namespace demo::exchange {

// The file's bytes as UTF-8 text, a leading byte order mark dropped; no value
// when the bytes are not valid UTF-8 (rather than importing replacement
// characters into names).
std::optional<QString> decodeUtf8(const QByteArray& bytes);

}  // namespace demo::exchange

#endif
