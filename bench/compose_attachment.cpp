// Composes one message with a short text and the file named on the command
// line as an attachment, into the output file. Run under /usr/bin/time -v to
// see that peak memory does not grow with the attachment's size.
//
//   compose_attachment ATTACHMENT OUTPUT
#include <cstdio>

#include "MailUtil.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ATTACHMENT OUTPUT\n", argv[0]);
        return 2;
    }
    FILE* pOut = std::fopen(argv[2], "wb");
    if (!pOut) {
        std::perror(argv[2]);
        return 1;
    }
    CMailUtil message;
    message.SetFrom("Bench Sender <sender@example.com>");
    message.AddTo("Bench Recipient", "recipient@example.com");
    message.SetSubject("Attachment streaming");
    message.SetDate();
    int result = message.AddPart("The attachment follows.\r\n", 6);
    if (result == 0) result = message.AddPart(argv[1], 8);
    if (result == 0) result = message.WriteOutMessage(pOut);
    if (std::fclose(pOut) != 0 && result == 0) result = -1;
    std::printf("result %d\n", result);
    return result == 0 ? 0 : 1;
}
