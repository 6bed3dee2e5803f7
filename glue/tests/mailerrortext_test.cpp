// GETMAILERROR and the report box built from it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "RecordingHostServices.h"
#include "quillnet/sendreport.h"
#include "quillnet/wrenpostclass.h"

namespace quillnet {
namespace {

TEST(GlueMailError, EveryCodeHasItsText)
{
    WRENPOSTCLASS mail;
    struct Case {
        uint32_t code;
        const char* text;
    } cases[] = {
        {0, "Unknown error"},
        {1, "Bad arguments from form"},
        {2, "Unable to open temporary mailfile for read"},
        {3, "Failed to start sockets"},
        {4, "Failed to resolve host"},
        {5, "Failed to obtain socket handle"},
        {6, "Failed to connect. Mail Server not found!"},
        {7, "Failed to send"},
        {8, "Failed to receive"},
        {9, "Mail Server Error:\r"},
        {10, "Failed to resolve the host IP name"},
        {11, "Out of memory"},
        {12, "Failed to open temporary file"},
        {13, "Unknown error"},
        {14, "User Cancel"},
        {15, "No recipiens specified"},
        {16, "Unknown error"},
        {1000, "Unknown error"},
        {0xFFFFFFFFu, "Unknown error"},
    };
    for (const Case& c : cases) EXPECT_EQ(mail.GETMAILERROR(c.code), c.text) << "code " << c.code;
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
}

TEST(GlueMailError, ReportBoxNamesTheOutcome)
{
    RecordingHostServices host;
    WRENPOSTCLASS mail(host);
    std::strcpy(mail.SERVERERRORMESSAGE, "451 Try later");
    showSendReport(host, mail, 0);
    showSendReport(host, mail, 9);
    showSendReport(host, mail, 15);
    auto boxes = host.boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, "Mail Send OK!");
    EXPECT_EQ(boxes[1].text, "Error sending E-Mail!|Mail Server Error:\r451 Try later");
    EXPECT_EQ(boxes[2].text, "Error sending E-Mail!|No recipiens specified");
    for (const auto& box : boxes) {
        EXPECT_EQ(box.caption, "Internet Mail");
        EXPECT_EQ(box.icon, MessageIcon::Information);
        EXPECT_EQ(box.buttons, MessageButtons::Ok);
    }
    EXPECT_EQ(messageBoxLines(boxes[1].text), "Error sending E-Mail!\nMail Server Error:\n451 Try later");
}

}  // namespace
}  // namespace quillnet
