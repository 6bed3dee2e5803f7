#include "SendOptions.h"

#include <getopt.h>

#include <cstdlib>
#include <cstring>

namespace quillnet {

namespace {

// Longest values the job's records can carry; longer ones would be cut and
// then name another address or file, so they are refused instead.
constexpr size_t kMaxAddressField = 199;
constexpr size_t kMaxAttachmentPath = 254;

std::string_view trimmed(std::string_view text)
{
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos) return {};
    size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

std::optional<int> parseNumber(const char* text, int lowest, int highest)
{
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (!*text || *end || value < lowest || value > highest) return std::nullopt;
    return static_cast<int>(value);
}

std::optional<int> parseKind(const char* text)
{
    struct Named {
        const char* name;
        int kind;
    } static const names[] = {{"raw", 0},      {"7bit", 1},     {"quoted-printable", 2},
                              {"richtext", 3}, {"html", 4},     {"html-file", 5},
                              {"text", 6},     {"text-file", 7}};
    for (const Named& named : names) {
        if (std::strcmp(text, named.name) == 0) return named.kind;
    }
    return parseNumber(text, 0, 8);
}

enum LongOnly {
    kMailer = 256,
    kFromName,
    kReturnPath,
    kReplyTo,
    kOrganization,
    kToText,
    kNews,
    kUser,
    kPassword,
    kPasswordFile,
    kHtmlFile,
    kDebugFile,
    kVersion,
};

const option kOptions[] = {
    {"host", required_argument, nullptr, 'H'},
    {"mailer", required_argument, nullptr, kMailer},
    {"from", required_argument, nullptr, 'f'},
    {"from-name", required_argument, nullptr, kFromName},
    {"return-path", required_argument, nullptr, kReturnPath},
    {"reply-to", required_argument, nullptr, kReplyTo},
    {"organization", required_argument, nullptr, kOrganization},
    {"subject", required_argument, nullptr, 's'},
    {"to", required_argument, nullptr, 't'},
    {"cc", required_argument, nullptr, 'c'},
    {"bcc", required_argument, nullptr, 'b'},
    {"to-text", required_argument, nullptr, kToText},
    {"news", required_argument, nullptr, kNews},
    {"user", required_argument, nullptr, kUser},
    {"password", required_argument, nullptr, kPassword},
    {"password-file", required_argument, nullptr, kPasswordFile},
    {"priority", required_argument, nullptr, 'p'},
    {"message", required_argument, nullptr, 'm'},
    {"message-file", required_argument, nullptr, 'F'},
    {"kind", required_argument, nullptr, 'k'},
    {"html-file", required_argument, nullptr, kHtmlFile},
    {"attach", required_argument, nullptr, 'a'},
    {"debug-file", required_argument, nullptr, kDebugFile},
    {"quiet", no_argument, nullptr, 'q'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};

}  // namespace

std::optional<Recipient> parseRecipient(std::string_view text)
{
    text = trimmed(text);
    Recipient recipient;
    size_t open = text.rfind('<');
    if (open == std::string_view::npos) {
        if (text.empty() || text.find_first_of(" \t\"<>") != std::string_view::npos) return std::nullopt;
        recipient.address = std::string(text);
    } else {
        if (text.back() != '>') return std::nullopt;
        std::string_view address = trimmed(text.substr(open + 1, text.size() - open - 2));
        std::string_view name = trimmed(text.substr(0, open));
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
            name = name.substr(1, name.size() - 2);
        if (address.empty() || address.find_first_of(" \t<>") != std::string_view::npos) return std::nullopt;
        recipient.name = std::string(name);
        recipient.address = std::string(address);
    }
    if (recipient.name.size() > kMaxAddressField || recipient.address.size() > kMaxAddressField)
        return std::nullopt;
    return recipient;
}

ParsedCommandLine parseSendOptions(int argc, char* const argv[])
{
    ParsedCommandLine parsed;
    SendOptions& o = parsed.options;
    auto fail = [&](std::string error) {
        if (parsed.error.empty()) parsed.error = std::move(error);
    };
    auto addRecipient = [&](std::vector<Recipient>& list, const char* text) {
        if (auto recipient = parseRecipient(text))
            list.push_back(*recipient);
        else
            fail(std::string(
                     "not a recipient (\"Name <address>\" or an address of at most 199 characters): ") +
                 text);
    };

    optind = 0;  // start afresh, also when called more than once
    opterr = 0;  // errors are reported by the caller, in one place
    int option;
    while ((option = getopt_long(argc, argv, ":H:f:s:t:c:b:p:m:F:k:a:qh", kOptions, nullptr)) != -1) {
        switch (option) {
            case 'H':
                o.host = optarg;
                break;
            case kMailer:
                o.mailer = optarg;
                break;
            case 'f':
                o.fromAddress = optarg;
                break;
            case kFromName:
                o.fromName = optarg;
                break;
            case kReturnPath:
            case kReplyTo:
                o.returnPath = optarg;
                break;
            case kOrganization:
                o.organization = optarg;
                break;
            case 's':
                o.subject = optarg;
                break;
            case 't':
                addRecipient(o.to, optarg);
                break;
            case 'c':
                addRecipient(o.cc, optarg);
                break;
            case 'b':
                addRecipient(o.bcc, optarg);
                break;
            case kToText:
                o.toText = optarg;
                break;
            case kNews:
                if (std::strlen(optarg) == 0 || std::strlen(optarg) > kMaxAddressField)
                    fail(std::string("not a newsgroup: ") + optarg);
                o.newsgroups.push_back(optarg);
                break;
            case kUser:
                o.user = optarg;
                break;
            case kPassword:
                o.password = optarg;
                break;
            case kPasswordFile:
                o.passwordFile = optarg;
                break;
            case 'p':
                if (auto priority = parseNumber(optarg, 0, 255))
                    o.priority = *priority;
                else
                    fail(
                        std::string("priority must be a number from 0 to 255 (1 to 5 give an X-Priority): ") +
                        optarg);
                break;
            case 'm':
                o.messageText = optarg;
                break;
            case 'F':
                o.messageFile = optarg;
                break;
            case 'k':
                if (auto kind = parseKind(optarg))
                    o.messageKind = *kind;
                else
                    fail(std::string("unknown message kind: ") + optarg);
                break;
            case kHtmlFile:
                o.htmlFile = optarg;
                break;
            case 'a':
                if (std::strlen(optarg) == 0 || std::strlen(optarg) > kMaxAttachmentPath)
                    fail(std::string("attachment path empty or longer than 254 characters: ") + optarg);
                o.attachments.push_back(optarg);
                break;
            case kDebugFile:
                o.debugFile = optarg;
                break;
            case 'q':
                o.quiet = true;
                break;
            case 'h':
                o.help = true;
                break;
            case kVersion:
                o.version = true;
                break;
            case ':':
                fail(std::string("option needs a value: ") + argv[optind - 1]);
                break;
            default:
                fail(std::string("unknown option: ") + argv[optind - 1]);
                break;
        }
    }
    if (optind < argc) fail(std::string("unexpected argument: ") + argv[optind]);
    if (!parsed.error.empty() || o.help || o.version) return parsed;

    int textSources = o.messageText.has_value() + o.messageFile.has_value() + o.htmlFile.has_value();
    if (textSources > 1) fail("give only one of --message, --message-file and --html-file");
    if (!o.newsgroups.empty() && !o.to.empty())
        fail("give either --to recipients or --news groups, not both");
    if (!o.newsgroups.empty() && (!o.cc.empty() || !o.bcc.empty()))
        fail("--cc and --bcc cannot be used with --news");
    if (o.password && o.passwordFile) fail("give only one of --password and --password-file");
    if (o.host.empty()) fail("no server given (use --host)");
    return parsed;
}

std::string sendUsage(std::string_view program)
{
    std::string usage = "Usage: " + std::string(program) + " --host HOST[:PORT] --to RECIPIENT [options]\n";
    usage += R"(Sends one mail over SMTP, or posts one news article over NNTP.

Server and sender:
  -H, --host HOST[:PORT]      mail (or news) server: a name or address, or a URL
                              smtp+starttls://HOST[:PORT] (587), smtps://HOST[:PORT]
                              (465), nntps://HOST[:PORT] (563) or
                              nntp+starttls://HOST[:PORT] (119) for TLS and login
      --mailer TEXT           X-Mailer text
  -f, --from ADDRESS          sender address
      --from-name NAME        sender's display name
      --return-path ADDRESS   sender address for replies and bounces
      --reply-to ADDRESS      the same field as --return-path; the later one wins
      --organization TEXT     Organization header
Recipients (RECIPIENT is "Name <address>" or an address; "@FILE" reads
addresses from FILE, one a line):
  -t, --to RECIPIENT          a To recipient (repeatable)
  -c, --cc RECIPIENT          a Cc recipient (repeatable)
  -b, --bcc RECIPIENT         a Bcc recipient (repeatable)
      --to-text TEXT          the whole To header text
      --news GROUP            post to this newsgroup instead of mailing (repeatable)
Login (news, or mail to a URL host):
      --user NAME             user at the server
      --password-file FILE    the password is the first line of FILE; without
                              it the password is taken from QUILLNET_PASSWORD or
                              asked for on a terminal (not on Windows) for a URL
                              host; "bearer:TOKEN" logs in with an OAuth token
      --password TEXT         INSECURE: other users see it in the process list
Message:
  -s, --subject TEXT          Subject header
  -p, --priority N            1 (highest) to 5 give an X-Priority header; default 3
  -m, --message TEXT          message text
  -F, --message-file FILE     message text from FILE ("-": standard input)
  -k, --kind KIND             kind of the message text: text (default), html,
                              richtext, quoted-printable, 7bit, raw, or 0 to 8
      --html-file FILE        send FILE as an HTML message; the local files it
                              names (relative to its folder) travel along
  -a, --attach FILE           attach FILE (repeatable)
Other:
      --debug-file FILE       write the diagnostic log of the send to FILE
  -q, --quiet                 no progress bar
  -h, --help                  this text
      --version               the version

On a terminal a progress bar shows on standard error. Ctrl-C cancels the
transfer cleanly at its next block (nothing is delivered); a second Ctrl-C
ends the program at once. The last line on standard output says
"Mail Send OK!" or "Error sending E-Mail!" and why; the exit status is the
result code (0 when the mail was sent, 14 when cancelled, 16 when it went to
some recipients only: the refused ones are listed before, one a line).
)";
    return usage;
}

}  // namespace quillnet
