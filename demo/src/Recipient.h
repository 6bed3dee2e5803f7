// One person a mail goes to, as the glue's To record holds it, and its form
// in the send journal ("Name <address>" or the bare address), so a failed
// batch read back from the journal reaches the same people again.
#ifndef DEMO_RECIPIENT_H
#define DEMO_RECIPIENT_H

#include <QString>
#include <vector>

namespace demo {

struct Recipient {
    QString name;
    QString address;

    QString journalText() const;
    static Recipient fromJournalText(const QString& text);
    bool operator==(const Recipient& other) const { return name == other.name && address == other.address; }
};

using RecipientList = std::vector<Recipient>;

}  // namespace demo

#endif
