#include "BenchIni.h"

#include "quillnet/inifile.h"
#include "quillnet/inilineescape.h"
#include "quillnet/qt/ConfigFolder.h"

namespace benchform {

std::string benchIniPath()
{
    return quillnet::qt::configFilePath(kIniFileName);
}

uint8_t textToByte(const std::string& text)
{
    size_t i = text.find_first_not_of(" \t");
    if (i == std::string::npos) return 0;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
    unsigned value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = (value * 10 + static_cast<unsigned>(text[i] - '0')) % 256;
    }
    return static_cast<uint8_t>(negative ? (256 - value) % 256 : value);
}

void GETINI(const std::string& iniPath, BenchValues& values)
{
    quillnet::IniFile file(iniPath);
    file.load();  // an unreadable file reads like a missing one: the defaults
    const auto text = [&](const char* key, const char* defaultValue, int fieldWidth) {
        return fieldText(file.value(kIniSection, key, defaultValue), fieldWidth);
    };
    values.MAILHOST = text("MailHost", "[my mailhost]", width::MAILHOST);
    values.SENDERNAME = text("SenderName", "[my name]", width::SENDERNAME);
    values.SENDERADDRESS = text("SenderAddress", "[my e-mail address]", width::SENDERADDRESS);
    values.ORGANIZATION = text("Organization", "[my organization]", width::ORGANIZATION);
    values.RECIPIENTNAME = text("RecipientName", "[receivers name]", width::RECIPIENTNAME);
    values.RECIPIENTADDRESS = text("RecipientAddress", "[receivers e-mail address]", width::RECIPIENTADDRESS);
    values.GROUPNAME = text("GroupName", "", width::GROUPNAME);
    values.ATTACHFILE = text("AttachFile", "", width::ATTACHFILE);
    values.MESSAGETEXT = fieldText(quillnet::unescapeLineBreaks(file.value(kIniSection, "MessageText", "")),
                                   width::MESSAGETEXT);
    values.MESSAGETYPE = textToByte(file.value(kIniSection, "MessageType", "6"));
    values.DEBUGFILE = text("DebugFile", "", width::DEBUGFILE);
    values.PRIORITY = textToByte(file.value(kIniSection, "Priority", "3"));
}

bool PUTINI(const std::string& iniPath, const BenchValues& values)
{
    quillnet::IniFile file(iniPath);
    // Never write over a file that could not be read: its other sections would be lost.
    if (!file.load()) return false;
    const std::pair<const char*, std::string> keys[] = {
        {"MailHost", values.MAILHOST},
        {"Mailer", values.MAILER},
        {"SenderName", values.SENDERNAME},
        {"SenderAddress", values.SENDERADDRESS},
        {"ReturnPath", values.RETURNPATH},
        {"ReplyTo", values.REPLYTO},
        {"Organization", values.ORGANIZATION},
        {"Subject", values.SUBJECT},
        {"RecipientName", values.RECIPIENTNAME},
        {"RecipientAddress", values.RECIPIENTADDRESS},
        {"GroupName", values.GROUPNAME},
        {"AttachFile", values.ATTACHFILE},
        {"MessageText", quillnet::escapeLineBreaks(values.MESSAGETEXT)},
        {"MessageType", std::to_string(values.MESSAGETYPE)},
        {"DebugFile", values.DEBUGFILE},
        {"Priority", std::to_string(values.PRIORITY)},
    };
    bool written = true;
    for (const auto& [key, value] : keys) {
        written = file.setValue(kIniSection, key, value) && written;
    }
    return file.save() && written;
}

}  // namespace benchform
