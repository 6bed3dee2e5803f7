// Texts on their way from the windows (QString) to the glue (8-bit buffers).
// The program's mail parts are UTF-8, so a text is cut on a character
// boundary: the glue cuts bytes and would otherwise split a letter.
#ifndef DEMO_GLUETEXT_H
#define DEMO_GLUETEXT_H

#include <QString>
#include <string>

namespace demo {

// The glue's text buffers hold 199 bytes.
inline constexpr int kGlueTextBytes = 199;

// At most `maxChars` characters of `text`, trailing blanks removed, as UTF-8
// of at most `maxBytes` bytes ending on a whole character.
std::string glueText(const QString& text, int maxChars, int maxBytes = kGlueTextBytes);

// The message text with CR LF line ends, whatever ends the editor gave it.
QString withCrLf(const QString& text);

// Sets MM_CHARSET=utf-8 for this process unless the user has set it.
void useUtf8MailParts();

}  // namespace demo

#endif
