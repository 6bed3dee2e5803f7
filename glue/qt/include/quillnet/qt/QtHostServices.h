// The host services with Qt's dialogs. Callable from any thread: a call from
// a send thread is carried out on the window thread, and the send thread
// waits for the answer, as a modal box on that thread would make it wait.
#ifndef QUILLNET_QT_QTHOSTSERVICES_H
#define QUILLNET_QT_QTHOSTSERVICES_H

#include <QStringList>

#include "quillnet/hostservices.h"

namespace quillnet::qt {

class QtHostServices : public quillnet::HostServices {
public:
    quillnet::MessageAnswer messageBox(const std::string& text, const std::string& caption,
                                       quillnet::MessageIcon icon, quillnet::MessageButtons buttons) override;
    // A question's default button is the one Enter presses; Escape answers No.
    quillnet::MessageAnswer messageBoxWithDefault(const std::string& text, const std::string& caption,
                                                  quillnet::MessageIcon icon, quillnet::MessageButtons buttons,
                                                  quillnet::MessageAnswer defaultAnswer) override;
    std::optional<std::string> chooseFile(const quillnet::FileDialogRequest& request) override;
    void beep() override;
    // A line edit in password mode; Cancel or Escape gives no value.
    std::optional<std::string> askPassword(const std::string& prompt, const std::string& caption) override;
};

// "name|pattern|name|pattern" as Qt name filters ("name (pattern)"); a
// pattern may list several, "*.htm;*.html". Outside
// Windows "*.*" becomes "*", as files there need not have an extension.
QStringList qtNameFilters(const std::string& filters);

}  // namespace quillnet::qt

#endif
