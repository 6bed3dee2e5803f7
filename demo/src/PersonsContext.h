// What the contacts window and its record forms need from the program: the
// database, the host services for every message box, the display-name option
// (read each time, as the frame's menu may toggle it at any moment) and the
// way a modal form is run, which a test replaces to fill in and press OK.
#ifndef DEMO_PERSONSCONTEXT_H
#define DEMO_PERSONSCONTEXT_H

#include <functional>

class QDialog;

namespace demo::data {
class ContactDatabase;
}
namespace quillnet {
class HostServices;
}

namespace demo {

struct PersonsContext {
    const data::ContactDatabase& database;
    quillnet::HostServices& host;
    std::function<bool()> lastNameFirst = [] { return false; };
    // Runs a form modally and returns QDialog::Accepted or Rejected.
    std::function<int(QDialog&)> runForm;

    bool displayLastNameFirst() const { return lastNameFirst && lastNameFirst(); }
    int run(QDialog& form) const;
};

}  // namespace demo

#endif
