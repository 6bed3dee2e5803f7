#include "RefusedRecipients.h"

#include <QRegularExpression>

namespace demo {

std::vector<RefusedRecipient> parseRefusedRecipients(const QString& serverText)
{
    std::vector<RefusedRecipient> refused;
    QString text = serverText.trimmed();
    if (!text.startsWith(QStringLiteral("Refused:"))) return refused;
    // Split only where the next entry begins: a reply may hold "; " itself.
    static const QRegularExpression entry(QStringLiteral("<([^<>]*)>\\s*(.*?)(?=;\\s*<|$)"),
                                          QRegularExpression::DotMatchesEverythingOption);
    auto it = entry.globalMatch(text, 8);
    while (it.hasNext()) {
        const auto m = it.next();
        refused.push_back({m.captured(1).trimmed(), m.captured(2).trimmed()});
    }
    return refused;
}

}  // namespace demo
