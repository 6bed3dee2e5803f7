#include "DragIdentifiers.h"

#include <QMimeData>

namespace demo {

QString groupNumberMimeType() { return QStringLiteral("application/x-quillnet-groupnumber"); }
QString personNumberMimeType() { return QStringLiteral("application/x-quillnet-number"); }

QMimeData* numberMimeData(const QString& mimeType, qint16 number)
{
    auto* data = new QMimeData;
    data->setData(mimeType, QByteArray::number(number));
    return data;
}

std::optional<qint16> numberFromMimeData(const QMimeData* data, const QString& mimeType)
{
    if (!data || !data->hasFormat(mimeType)) return std::nullopt;
    bool ok = false;
    const int value = data->data(mimeType).trimmed().toInt(&ok);
    // Anything outside the 16-bit range cannot be a record number; refusing it
    // here keeps a foreign drag from being cut into some other record's number.
    if (!ok || value < -32768 || value > 32767) return std::nullopt;
    return static_cast<qint16>(value);
}

}  // namespace demo
