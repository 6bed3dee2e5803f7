#include "Recipient.h"

namespace demo {

QString Recipient::journalText() const
{
    if (name.trimmed().isEmpty()) return address;
    return name + QStringLiteral(" <") + address + QLatin1Char('>');
}

Recipient Recipient::fromJournalText(const QString& text)
{
    // The address is the last angle-bracketed part: a name may hold "<" itself.
    if (text.endsWith(QLatin1Char('>'))) {
        const qsizetype open = text.lastIndexOf(QLatin1Char('<'));
        if (open >= 0) return {text.left(open).trimmed(), text.mid(open + 1, text.size() - open - 2)};
    }
    return {QString(), text.trimmed()};
}

}  // namespace demo
