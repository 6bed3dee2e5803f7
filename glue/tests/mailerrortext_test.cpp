// GETMAILERROR and the report box built from it.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>

#include "RecordingHostServices.h"
#include "quillnet/sendreport.h"
#include "quillnet/wrenpostclass.h"

namespace quillnet {
namespace {

TEST(GlueMailError, EveryCodeHasItsText)
{
    WRENPOSTCLASS mail;
    // Indexed by code: the texts users have always seen, spelling included.
    const char* texts[] = {"Unknown error",
                           "Bad arguments from form",
                           "Unable to open temporary mailfile for read",
                           "Failed to start sockets",
                           "Failed to resolve host",
                           "Failed to obtain socket handle",
                           "Failed to connect. Mail Server not found!",
                           "Failed to send",
                           "Failed to receive",
                           "Mail Server Error:\r",
                           "Failed to resolve the host IP name",
                           "Out of memory",
                           "Failed to open temporary file",
                           "Unknown error",
                           "User Cancel",
                           "No recipiens specified",
                           "Some recipients were refused:\r",
                           "Unknown error"};
    for (uint32_t code = 0; code < std::size(texts); ++code) EXPECT_EQ(mail.GETMAILERROR(code), texts[code]);
    EXPECT_EQ(mail.GETMAILERROR(1000), "Unknown error");
    EXPECT_EQ(mail.GETMAILERROR(0xFFFFFFFFu), "Unknown error");
}

TEST(GlueMailError, ServerErrorCarriesTheReplyCutTo254)
{
    WRENPOSTCLASS mail;
    std::strcpy(mail.SERVERERRORMESSAGE, "550 No such user   ");
    EXPECT_EQ(mail.GETMAILERROR(9), "Mail Server Error:\r550 No such user");
    std::strcpy(mail.SERVERERRORMESSAGE, "554 Rejected\r\n");
    EXPECT_EQ(mail.GETMAILERROR(9), "Mail Server Error:\r554 Rejected\r\n")
        << "the reply's own line end stays";

    std::string reply(499, 'r');
    reply[234] = 'L';  // the last character that fits after the 19 of the prefix
    std::strcpy(mail.SERVERERRORMESSAGE, reply.c_str());
    std::string text = mail.GETMAILERROR(9);
    EXPECT_EQ(text.size(), 254u);
    EXPECT_EQ(text.back(), 'L');
    EXPECT_EQ(text.substr(0, 19), "Mail Server Error:\r");

    // A buffer the library left without its zero is still read only to its end.
    std::memset(mail.SERVERERRORMESSAGE, 'z', sizeof mail.SERVERERRORMESSAGE);
    EXPECT_EQ(mail.GETMAILERROR(9).size(), 254u);
    EXPECT_EQ(mail.GETMAILERROR(7), "Failed to send") << "other codes ignore the reply";
    std::strcpy(mail.SERVERERRORMESSAGE, "Refused: <x@example.org> 550 no such user");
    EXPECT_EQ(mail.GETMAILERROR(16), "Some recipients were refused:\rRefused: <x@example.org> 550 no such user");
}

TEST(GlueMailError, ReportBoxNamesTheOutcome)
{
    RecordingHostServices host;
    WRENPOSTCLASS mail(host);
    std::strcpy(mail.SERVERERRORMESSAGE, "451 Try later");
    showSendReport(host, mail, 0);
    showSendReport(host, mail, 9);
    auto boxes = host.boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Mail Send OK!");
    EXPECT_EQ(boxes[1].text, "Error sending E-Mail!|Mail Server Error:\r451 Try later");
    for (const auto& box : boxes) {
        EXPECT_EQ(box.caption, "Internet Mail");
        EXPECT_EQ(box.icon, MessageIcon::Information);
        EXPECT_EQ(box.buttons, MessageButtons::Ok);
    }
}

}  // namespace
}  // namespace quillnet
