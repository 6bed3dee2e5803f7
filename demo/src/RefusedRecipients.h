// The recipients a server refused while it took the mail for the others
// (result 16): the library lists them in the server-error text as
// "Refused: <addr> 550 reply; <addr> 550 reply".
#ifndef DEMO_REFUSEDRECIPIENTS_H
#define DEMO_REFUSEDRECIPIENTS_H

#include <QString>
#include <vector>

namespace demo {

struct RefusedRecipient {
    QString address;
    QString reply;  // the server's reply line, e.g. "550 no such user"
};

std::vector<RefusedRecipient> parseRefusedRecipients(const QString& serverText);

}  // namespace demo

#endif
