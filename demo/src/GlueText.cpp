#include "GlueText.h"

#include <QByteArray>
#include <QStringView>

namespace demo {

std::string glueText(const QString& text, int maxChars, int maxBytes)
{
    QString cut = text.left(maxChars);
    while (!cut.isEmpty() && cut.back() == QLatin1Char(' ')) cut.chop(1);
    QByteArray bytes = cut.toUtf8();
    if (bytes.size() > maxBytes) {
        qsizetype end = maxBytes;
        // Continuation bytes are 10xxxxxx: step back to the start of the letter.
        while (end > 0 && (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80) --end;
        bytes.truncate(end);
    }
    return bytes.toStdString();
}

QString withCrLf(const QString& text)
{
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    lines.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return lines;
}

void useUtf8MailParts()
{
    if (qEnvironmentVariableIsEmpty("MM_CHARSET")) qputenv("MM_CHARSET", "utf-8");
}

}  // namespace demo
