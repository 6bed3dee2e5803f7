#include "MailJobs.h"

#include <cstdio>

namespace benchform {
namespace {

// The message text goes over as the host holds it: the whole fixed-length
// field, blank-padded; the glue drops the padding again.
std::string wholeMessageField(const std::string& text)
{
    std::string field = text;
    if (field.size() < static_cast<size_t>(width::MESSAGETEXT)) field.resize(width::MESSAGETEXT, ' ');
    return field;
}

// Read by the library only for a Mail Host given as a URL.
void setLogin(quillnet::WRENPOSTCLASS& mail, const BenchValues& values)
{
    std::snprintf(mail.USERNAME, sizeof mail.USERNAME, "%s", values.USER.c_str());
    std::snprintf(mail.USERPASSWORD, sizeof mail.USERPASSWORD, "%s", values.PASSWORD.c_str());
}

}  // namespace

void fillExtensionMail(quillnet::WRENPOSTCLASS& mail, const BenchValues& values)
{
    mail.SETMAILHOST(values.MAILHOST);
    mail.SETMAILER(values.MAILER);
    mail.SETFROM(values.SENDERNAME, values.SENDERADDRESS);
    mail.SETRETURNPATH(values.RETURNPATH);
    mail.SETREPLYTO(values.REPLYTO);
    mail.SETORGANIZATION(values.ORGANIZATION);
    mail.SETSUBJECT(values.SUBJECT);
    mail.SETPRIORITY(values.PRIORITY);
    mail.ADDTO(values.RECIPIENTNAME, values.RECIPIENTADDRESS);
    mail.SETTONAME(values.GROUPNAME);
    mail.ADDATTACHMENT(values.ATTACHFILE, PART_ATTACHMENT);
    mail.SETMESSAGE(wholeMessageField(values.MESSAGETEXT), values.MESSAGETYPE);
    mail.SETDEBUGFILE(values.DEBUGFILE);
    setLogin(mail, values);
}

void fillCodeMail(quillnet::WRENPOSTCLASS& mail, const BenchValues& values)
{
    mail.SETMAILHOST(values.MAILHOST);
    mail.SETMAILER(values.MAILER);
    mail.SETFROM(values.SENDERNAME);
    mail.SETREPLYTO(values.REPLYTO);
    mail.SETORGANIZATION(values.ORGANIZATION);
    mail.SETSUBJECT(values.SUBJECT);
    mail.SETTONAME(values.GROUPNAME);
    mail.ADDTO(values.RECIPIENTNAME, values.RECIPIENTADDRESS);
    mail.ADDATTACHMENT(values.ATTACHFILE, PART_ATTACHMENT);
    mail.SETMESSAGE(wholeMessageField(values.MESSAGETEXT), PART_TEXT);
    setLogin(mail, values);
}

}  // namespace benchform
