// The values of the test form, one per field; what GETINI reads, PUTINI
// writes and a send takes as it starts. Texts are held without trailing
// blanks and never longer than their field's width in characters.
#ifndef BENCHFORM_BENCHVALUES_H
#define BENCHFORM_BENCHVALUES_H

#include <cstdint>
#include <string>

namespace benchform {

// Widths of the form's fields, in characters.
namespace width {
// Room for a URL such as "smtp+starttls://relay.example.org:587": the
// library keeps at most 127 bytes of a host setting and refuses a longer one.
constexpr int MAILHOST = 127;
constexpr int MAILER = 40;
constexpr int SENDERNAME = 40;
constexpr int SENDERADDRESS = 100;
constexpr int RETURNPATH = 100;
constexpr int REPLYTO = 100;
constexpr int ORGANIZATION = 40;
constexpr int SUBJECT = 100;
constexpr int RECIPIENTNAME = 40;
constexpr int RECIPIENTADDRESS = 100;
constexpr int GROUPNAME = 63;
constexpr int ATTACHFILE = 100;
constexpr int MESSAGETEXT = 2000;
constexpr int DEBUGFILE = 100;
constexpr int USER = 100;
constexpr int PASSWORD = 199;  // room for "bearer:" and an OAuth token
}  // namespace width

struct BenchValues {
    std::string MAILHOST = "[my mailhost]";
    std::string MAILER = "Larkwire Template 3.04";
    std::string SENDERNAME = "[my name]";
    std::string SENDERADDRESS;
    std::string RETURNPATH;
    std::string REPLYTO;
    std::string ORGANIZATION = "[my organization]";
    std::string SUBJECT = "Testmessage C5";
    std::string RECIPIENTNAME = "[receivers name]";
    std::string RECIPIENTADDRESS = "[receivers e-mail address]";
    std::string GROUPNAME;
    std::string ATTACHFILE;
    std::string MESSAGETEXT;
    uint8_t MESSAGETYPE = 6;
    std::string DEBUGFILE;
    uint8_t PRIORITY = 3;
    // The login for a Mail Host given as a URL; neither is kept in the INI
    // file, so a password never rests on disk.
    std::string USER;
    std::string PASSWORD;
};

// `text` without trailing blanks, cut to `width` characters (UTF-8 aware, so
// a cut never splits a character).
std::string fieldText(const std::string& text, int width);

// True when the text holds nothing but blanks, as the form's checks see it.
bool isBlank(const std::string& text);

}  // namespace benchform

#endif
