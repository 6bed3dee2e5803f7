// The library's side of the delivery figures: one _Wrenpost call, as a host
// makes it, from a fresh process.
//
// Usage: dialogue_host HOST:PORT [--attach FILE] [--recipients N] [--text FILE]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "quillnet/wrenpost.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s HOST:PORT [--attach FILE] [--recipients N] [--text FILE]\n", argv[0]);
        return 2;
    }
    std::string attachment;
    std::string text = "Hello,\r\nthis is a short message for the figures.\r\n";
    long recipients = 1;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--attach") == 0) attachment = argv[i + 1];
        if (std::strcmp(argv[i], "--recipients") == 0) recipients = std::atol(argv[i + 1]);
        if (std::strcmp(argv[i], "--text") == 0) {
            std::ifstream in(argv[i + 1], std::ios::binary);
            std::stringstream content;
            content << in.rdbuf();
            text = content.str();
        }
    }

    HGLOBAL to =
        GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<size_t>(recipients) * sizeof(WRENPOSTADDRESS));
    auto* addresses = static_cast<WRENPOSTADDRESS*>(GlobalLock(to));
    for (long i = 0; i < recipients; ++i) std::snprintf(addresses[i].EMAIL, 200, "r%ld@example.org", i);
    GlobalUnlock(to);
    HGLOBAL attachments = nullptr;
    if (!attachment.empty()) {
        attachments = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(WRENPOSTATTACHMENT));
        auto* record = static_cast<WRENPOSTATTACHMENT*>(GlobalLock(attachments));
        std::snprintf(record->FILENAME, sizeof record->FILENAME, "%s", attachment.c_str());
        record->FILETYPE = PART_ATTACHMENT;
        GlobalUnlock(attachments);
    }

    WRENPOSTDATA job{};
    job.MAILHOST = argv[1];
    job.FROM = "ann@example.com";
    job.SUBJECT = "Figures";
    job.TOADR = to;
    job.MESSAGETEXT = text.c_str();
    job.MESSAGETYPE = PART_TEXT;
    job.ATTACHMENTS = attachments;
    int32_t result = _Wrenpost(&job);
    GlobalFree(to);
    if (attachments) GlobalFree(attachments);
    if (result != 0) std::fprintf(stderr, "_Wrenpost returned %d\n", static_cast<int>(result));
    return result == 0 ? 0 : 1;
}
