// The command line of quillnet-send, read into the values of one mail.
#ifndef QUILLNET_TOOLS_SENDOPTIONS_H
#define QUILLNET_TOOLS_SENDOPTIONS_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillnet {

struct Recipient {
    std::string name;     // display name, may be empty
    std::string address;  // mail address, or "@" and the path of an address file
};

struct SendOptions {
    std::string host;  // "host", "host:port" or a URL such as smtp+starttls://host
    std::string mailer;
    std::string fromName;
    std::string fromAddress;
    std::string returnPath;  // --return-path and --reply-to share it; the later one wins
    std::string organization;
    std::string subject;
    std::string toText;
    std::vector<Recipient> to, cc, bcc;
    std::vector<std::string> newsgroups;  // non-empty: post news instead of mail
    std::string user;                     // login at the server (news, or mail given by URL)
    std::optional<std::string> password;  // --password, insecure: others see the process list
    std::optional<std::string> passwordFile;
    int priority = 3;
    std::optional<std::string> messageText;
    std::optional<std::string> messageFile;  // "-" is standard input
    std::optional<std::string> htmlFile;
    int messageKind = 6;  // PartKind of the message text
    std::vector<std::string> attachments;
    std::string debugFile;
    bool quiet = false;
    bool help = false;
    bool version = false;
};

struct ParsedCommandLine {
    SendOptions options;
    std::string error;  // empty when the command line was usable
};

ParsedCommandLine parseSendOptions(int argc, char* const argv[]);

// "Name <address>", "\"Name\" <address>", "<address>" or a bare address.
// No value for text that is none of these.
std::optional<Recipient> parseRecipient(std::string_view text);

std::string sendUsage(std::string_view program);

}  // namespace quillnet

#endif
