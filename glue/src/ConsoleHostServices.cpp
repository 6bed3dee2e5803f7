#include <cstdio>

#include "quillnet/hostservices.h"

namespace quillnet {

std::string messageBoxLines(const std::string& text)
{
    std::string lines;
    lines.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '|' || c == '\n') {
            lines += '\n';
        } else if (c == '\r') {
            lines += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            lines += c;
        }
    }
    while (!lines.empty() && lines.back() == '\n') lines.pop_back();
    return lines;
}

MessageAnswer ConsoleHostServices::messageBox(const std::string& text, const std::string& caption,
                                              MessageIcon, MessageButtons buttons)
{
    std::string shown =
        (caption.empty() ? std::string("quillnet") : caption) + ": " + messageBoxLines(text) + "\n";
    std::fputs(shown.c_str(), stderr);
    std::fflush(stderr);
    // Nobody can answer a question here; No is the answer that changes nothing.
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

std::optional<std::string> ConsoleHostServices::chooseFile(const FileDialogRequest&)
{
    return std::nullopt;
}

void ConsoleHostServices::beep()
{
    std::fputc('\a', stderr);
    std::fflush(stderr);
}

}  // namespace quillnet
