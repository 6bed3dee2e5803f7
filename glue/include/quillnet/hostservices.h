// What the glue and its hosts need from the program around them: message
// boxes, a file dialog, a password question and a beep. A console host
// answers on standard error, a window host with real dialogs, a test with a
// recording double, so no code path in the glue ever blocks on a modal box it
// cannot see.
#ifndef QUILLNET_HOSTSERVICES_H
#define QUILLNET_HOSTSERVICES_H

#include <optional>
#include <string>

namespace quillnet {

enum class MessageIcon { None, Information, Question, Exclamation };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

// One "name|pattern" pair per entry, e.g. "All Files|*.*".
struct FileDialogRequest {
    std::string title;
    std::string filters;
    std::string startDirectory;
    std::string proposedName;
    // A file to write rather than one to read: it need not exist yet, and the
    // dialog asks before an existing one is replaced.
    bool forSaving = false;
};

class HostServices {
public:
    virtual ~HostServices() = default;

    // Shows `text`, in which "|" breaks the line. An empty caption means the
    // program's default caption. Returns the button that was pressed.
    virtual MessageAnswer messageBox(const std::string& text, const std::string& caption, MessageIcon icon,
                                     MessageButtons buttons) = 0;

    // The same with the button that Enter presses (and that a dismissed box
    // counts as), for questions whose safe answer is not the first button.
    // Hosts without such a notion ask as above.
    virtual MessageAnswer messageBoxWithDefault(const std::string& text, const std::string& caption,
                                                MessageIcon icon, MessageButtons buttons,
                                                MessageAnswer defaultAnswer)
    {
        (void)defaultAnswer;
        return messageBox(text, caption, icon, buttons);
    }

    // Lets the user pick a file; no value when the user cancelled.
    virtual std::optional<std::string> chooseFile(const FileDialogRequest& request) = 0;

    virtual void beep() = 0;

    // Asks for a secret (a password) with its characters hidden as they are
    // typed. No value when the user cancelled or the host has no way to ask
    // without showing it, which is what hosts without such a field answer.
    virtual std::optional<std::string> askPassword(const std::string& prompt, const std::string& caption)
    {
        (void)prompt;
        (void)caption;
        return std::nullopt;
    }
};

// Host services for programs without windows: message boxes go to standard
// error (one line per "|"-separated part, caption first when there is one),
// questions are answered No, file dialogs are cancelled.
class ConsoleHostServices : public HostServices {
public:
    MessageAnswer messageBox(const std::string& text, const std::string& caption, MessageIcon icon,
                             MessageButtons buttons) override;
    std::optional<std::string> chooseFile(const FileDialogRequest& request) override;
    void beep() override;
};

// A message-box text as the lines it shows: "|" and a carriage return (with
// or without a line feed after it) each break the line.
std::string messageBoxLines(const std::string& text);

}  // namespace quillnet

#endif
