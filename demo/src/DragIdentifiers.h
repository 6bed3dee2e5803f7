// The identifiers that travel with a drag between the contacts window's
// lists: the number of a group or of a person, as decimal text under a MIME
// type of its own, so a list accepts only what it can use.
#ifndef DEMO_DRAGIDENTIFIERS_H
#define DEMO_DRAGIDENTIFIERS_H

#include <QString>
#include <optional>

class QMimeData;

namespace demo {

// "GroupNumber": offered by the group tree, accepted by the persons lists.
QString groupNumberMimeType();
// "Number": offered by the persons list, accepted by the group tree.
QString personNumberMimeType();

QMimeData* numberMimeData(const QString& mimeType, qint16 number);
// The number under `mimeType`, none when the data does not carry one.
std::optional<qint16> numberFromMimeData(const QMimeData* data, const QString& mimeType);

}  // namespace demo

#endif
