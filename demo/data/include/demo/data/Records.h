#pragma once
// The records of the contact files as plain values. Texts are kept cut to their
// width and without trailing blanks, so a blank text and an empty one are the same.
#include <QString>
#include <QtGlobal>

namespace demo::data {

namespace width {
constexpr int FirstName = 30, Initials = 20, Infix = 10, LastName = 50, EmailAddress = 200, GroupName = 150,
              FileName = 255, MailHost = 120, Mailer = 120, SenderName = 120, SenderEmail = 200,
              StandardSubject = 120, Footer = 1000, Header = 1000, UserName = 120;
}

// Highest number a person or group can get; numbers never wrap around.
constexpr qint16 HighestNumber = 32767;

struct Person {
    qint16 number = 0;
    QString firstName;     // width::FirstName
    QString initials;      // width::Initials
    QString infix;         // width::Infix
    QString lastName;      // width::LastName
    QString emailAddress;  // width::EmailAddress; unique (case-insensitive) unless blank
    bool operator==(const Person& o) const;
    bool operator!=(const Person& o) const { return !(*this == o); }
};

struct Group {
    qint16 number = 0;
    QString name;  // width::GroupName; unique (case-insensitive) unless blank
    bool operator==(const Group& o) const { return number == o.number && name == o.name; }
    bool operator!=(const Group& o) const { return !(*this == o); }
};

struct Membership {
    qint16 personNumber = 0;
    qint16 groupNumber = 0;
    bool operator==(const Membership& o) const
    {
        return personNumber == o.personNumber && groupNumber == o.groupNumber;
    }
    bool operator!=(const Membership& o) const { return !(*this == o); }
};

struct Attachment {
    qint64 id = 0;     // row id, the record position
    QString fileName;  // width::FileName
    qint16 icon = 0;   // stored, never used
};

struct Settings {
    QString mailHost, mailer, senderName, senderEmail, standardSubject;
    QString footer, header;  // memos of up to width::Footer / width::Header characters
    QString userName;
    int recipientsPerMessage = 100;
    int messagesPerMinute = 0;
    bool operator==(const Settings& o) const;
    bool operator!=(const Settings& o) const { return !(*this == o); }
};

// Where a batched read of persons goes on: after the row with this key value and number.
// For the number order only `number` counts. Default: from the start.
struct PersonCursor {
    QString key;  // the last row's e-mail address or last name, as stored (not lower-cased)
    qint16 number = 0;
};

// Where a batched read of one group's members goes on: after this person number.
struct MembershipCursor {
    qint16 personNumber = 0;
};

// A text as stored: trailing blanks removed, cut to `width` characters (never inside a surrogate pair).
QString storedText(const QString& text, int width);

// The records with every text as it would be stored.
Person normalized(Person p);
Group normalized(Group g);
Attachment normalized(Attachment a);
Settings normalized(Settings s);

}  // namespace demo::data
