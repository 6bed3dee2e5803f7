// Defaults: the form of the one Settings record every mail starts from (mail
// host, mailer, sender, standard subject, footer, and how a mass send is cut
// into messages). It always changes the first record, creating a blank one
// when there is none. "OK" writes it back, "Cancel" leaves it.
//
// Ctrl+' (or the frame's "Previous value" button) puts back, in the focused
// field, the value that field had in the last record this form saved in this
// run; after a save refused because another station changed the record, the
// values that were refused.
//
// "User" is the login at a mail host given as a URL and is a setting like the
// others; "Password" goes to the MailLogin (the desktop's keyring), never into
// the record. The form shows the stored password once the keyring has
// answered, and "OK" hands it on only when it was edited or the user changed.
//
// Whatever its caller asked for, the form changes: it has no insert or
// delete, so the invalid-request boxes of FormRequest.h never come from it.
#ifndef DEMO_DEFAULTSFORM_H
#define DEMO_DEFAULTSFORM_H

#include <QWidget>
#include <optional>

#include "ErrorManager.h"
#include "NavigationTarget.h"
#include "demo/data/ContactDatabase.h"
#include "demo/data/Records.h"

class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QPushButton;

namespace demo {

class MailLogin;

class DefaultsForm : public QWidget, public NavigationTarget {
    Q_OBJECT

public:
    // Reads (or creates) the record. When that fails the failure has been
    // shown and isUsable() is false: the caller closes the form. Without a
    // login the password cannot be set.
    DefaultsForm(const demo::data::ContactDatabase& database, const ErrorManager& errors,
                 MailLogin* login = nullptr, QWidget* parent = nullptr);

    bool isUsable() const { return record_.has_value(); }

    // The values on screen, as "OK" would store them.
    demo::data::Settings values() const;

    // Puts the value of the focused field back from the recall copy.
    void recallPreviousValue();

    void navigate(NavigationButton button) override;

    // The field widgets, by what they hold.
    QLineEdit* mailHost() const { return mailHost_; }
    QLineEdit* user() const { return user_; }
    QLineEdit* password() const { return password_; }
    QLineEdit* mailer() const { return mailer_; }
    QLineEdit* senderName() const { return senderName_; }
    QLineEdit* senderEmail() const { return senderEmail_; }
    QLineEdit* standardSubject() const { return standardSubject_; }
    QPlainTextEdit* footer() const { return footer_; }
    QSpinBox* recipientsPerMessage() const { return recipientsPerMessage_; }
    QSpinBox* messagesPerMinute() const { return messagesPerMinute_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

private:
    void showSettings(const demo::data::Settings& settings);
    void save();
    void limitFooter();
    void showPassword(const QString& stored);

    const demo::data::ContactDatabase& database_;
    const ErrorManager& errors_;
    MailLogin* login_;
    std::optional<demo::data::Settings> record_;  // as read, for the check against other stations

    QLineEdit* mailHost_;
    QLineEdit* user_;
    QLineEdit* password_;
    QLineEdit* mailer_;
    QLineEdit* senderName_;
    QLineEdit* senderEmail_;
    QLineEdit* standardSubject_;
    QPlainTextEdit* footer_;
    QSpinBox* recipientsPerMessage_;
    QSpinBox* messagesPerMinute_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

}  // namespace demo

#endif
