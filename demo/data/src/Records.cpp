#include "demo/data/Records.h"

namespace demo::data {

QString storedText(const QString& text, int width)
{
    int end = text.size();
    while (end > 0 && text.at(end - 1) == QLatin1Char(' ')) --end;
    if (end > width) {
        end = width;
        // Never leave half of a surrogate pair behind.
        if (end > 0 && text.at(end - 1).isHighSurrogate()) --end;
        while (end > 0 && text.at(end - 1) == QLatin1Char(' ')) --end;
    }
    return text.left(end);
}

bool Person::operator==(const Person& o) const
{
    return number == o.number && firstName == o.firstName && initials == o.initials && infix == o.infix &&
           lastName == o.lastName && emailAddress == o.emailAddress;
}

bool Settings::operator==(const Settings& o) const
{
    return mailHost == o.mailHost && mailer == o.mailer && senderName == o.senderName &&
           senderEmail == o.senderEmail && standardSubject == o.standardSubject && footer == o.footer &&
           header == o.header && userName == o.userName && recipientsPerMessage == o.recipientsPerMessage &&
           messagesPerMinute == o.messagesPerMinute;
}

Person normalized(Person p)
{
    p.firstName = storedText(p.firstName, width::FirstName);
    p.initials = storedText(p.initials, width::Initials);
    p.infix = storedText(p.infix, width::Infix);
    p.lastName = storedText(p.lastName, width::LastName);
    p.emailAddress = storedText(p.emailAddress, width::EmailAddress);
    return p;
}

Group normalized(Group g)
{
    g.name = storedText(g.name, width::GroupName);
    return g;
}

Attachment normalized(Attachment a)
{
    a.fileName = storedText(a.fileName, width::FileName);
    return a;
}

Settings normalized(Settings s)
{
    s.mailHost = storedText(s.mailHost, width::MailHost);
    s.mailer = storedText(s.mailer, width::Mailer);
    s.senderName = storedText(s.senderName, width::SenderName);
    s.senderEmail = storedText(s.senderEmail, width::SenderEmail);
    s.standardSubject = storedText(s.standardSubject, width::StandardSubject);
    s.footer = storedText(s.footer, width::Footer);
    s.header = storedText(s.header, width::Header);
    s.userName = storedText(s.userName, width::UserName);
    return s;
}

}  // namespace demo::data
