#include "demo/data/DisplayName.h"

namespace demo::data {

namespace {
// Each non-blank part goes after the text so far, clipped, and one space.
void appendPart(QString& text, const QString& part)
{
    const QString clipped = storedText(part, part.size());
    if (clipped.trimmed().isEmpty()) return;
    text = storedText(text, text.size()) + QLatin1Char(' ') + clipped;
}
}  // namespace

QString displayName(const Person& person, bool lastNameFirst)
{
    QString text;
    if (lastNameFirst) {
        const QString last = storedText(person.lastName, person.lastName.size());
        if (!last.trimmed().isEmpty()) appendPart(text, last + QLatin1Char(','));
        appendPart(text, person.firstName);
        appendPart(text, person.infix);
    } else {
        appendPart(text, person.firstName);
        appendPart(text, person.infix);
        appendPart(text, person.lastName);
    }
    return storedText(text.trimmed(), 255);
}

}  // namespace demo::data
