// quillnet-send: sends one mail (or posts one news article) from the command
// line through WRENPOSTCLASS, so that scripts and shells can use the library.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "PasswordSource.h"
#include "ProgressBar.h"
#include "SendOptions.h"
#include "quillnet/hostservices.h"
#include "quillnet/progressfigures.h"
#include "quillnet/sendreport.h"
#include "quillnet/wrenpostclass.h"

namespace {

using namespace quillnet;

constexpr const char* kProgram = "quillnet-send";

volatile std::sig_atomic_t gInterrupted = 0;

// The first Ctrl-C asks for a clean cancel at the library's next progress
// call; a second one, should the server keep us waiting, ends the program.
extern "C" void onInterrupt(int)
{
    gInterrupted = 1;
    std::signal(SIGINT, SIG_DFL);
}

// The line scripts read last: the report text on one line. Before it, for a
// mail that reached only some recipients, the refused ones, one a line.
int finishWith(const WRENPOSTCLASS& mail, int32_t result)
{
    if (result == RESULT_SOME_RECIPIENTS_REFUSED) {
        std::string text(mail.SERVERERRORMESSAGE,
                         strnlen(mail.SERVERERRORMESSAGE, sizeof mail.SERVERERRORMESSAGE));
        for (const std::string& refused : refusedRecipients(text))
            std::cout << "Refused: " << refused << "\n";
    }
    std::string line = messageBoxLines(sendReportText(mail, result));
    for (char& c : line) {
        if (c == '\n') c = ' ';
    }
    std::cout << line << std::endl;
    return result < 0 || result > 255 ? 255 : result;
}

int refuse(const WRENPOSTCLASS& mail, const std::string& why, int32_t result)
{
    std::cerr << kProgram << ": " << why << "\n";
    return finishWith(mail, result);
}

// Why `path` cannot be read as a file, or an empty text when it can.
std::string unreadable(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return "no such file: " + path;
    if (std::filesystem::is_directory(path, error)) return "is a directory: " + path;
    std::ifstream file(path, std::ios::binary);
    if (!file) return "cannot read " + path + ": " + std::strerror(errno);
    return {};
}

std::string firstUnreadableFile(const SendOptions& o)
{
    std::vector<std::string> paths = o.attachments;
    if (o.messageFile && *o.messageFile != "-") paths.push_back(*o.messageFile);
    if (o.htmlFile) paths.push_back(*o.htmlFile);
    for (const auto* list : {&o.to, &o.cc, &o.bcc}) {
        for (const Recipient& recipient : *list) {
            if (recipient.address.size() > 1 && recipient.address[0] == '@')
                paths.push_back(recipient.address.substr(1));
        }
    }
    for (const std::string& path : paths) {
        std::string why = unreadable(path);
        if (!why.empty()) return why;
    }
    return {};
}

// The library takes an HTML page's relative references from the current
// folder; on a command line they are meant from the page's own folder. Make
// every other path absolute first, then move there.
bool enterHtmlFolder(SendOptions& o, std::string& why)
{
    namespace fs = std::filesystem;
    std::error_code error;
    auto absolute = [&](std::string& path) {
        if (!path.empty()) path = fs::absolute(path, error).string();
    };
    for (std::string& path : o.attachments) absolute(path);
    absolute(o.debugFile);
    for (auto* list : {&o.to, &o.cc, &o.bcc}) {
        for (Recipient& recipient : *list) {
            if (recipient.address.size() > 1 && recipient.address[0] == '@') {
                std::string file = recipient.address.substr(1);
                absolute(file);
                recipient.address = "@" + file;
            }
        }
    }
    fs::path page = fs::absolute(*o.htmlFile, error);
    fs::current_path(page.parent_path(), error);
    if (error) {
        why = "cannot enter the folder of " + *o.htmlFile + ": " + error.message();
        return false;
    }
    *o.htmlFile = page.string();
    return true;
}

std::string readAll(std::istream& in)
{
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void fillMail(WRENPOSTCLASS& mail, const SendOptions& o, const std::string& messageText)
{
    mail.SETMAILHOST(o.host);
    mail.SETMAILER(o.mailer);
    if (!o.fromName.empty())
        mail.SETFROM(o.fromName, o.fromAddress);
    else
        mail.SETFROM(o.fromAddress);
    mail.SETRETURNPATH(o.returnPath);
    mail.SETORGANIZATION(o.organization);
    mail.SETSUBJECT(o.subject);
    mail.SETPRIORITY(static_cast<uint8_t>(o.priority));
    for (const Recipient& recipient : o.to) mail.ADDTO(recipient.name, recipient.address);
    // News groups travel in the To records; the library reads them as groups
    // when the mode says news.
    for (const std::string& group : o.newsgroups) mail.ADDTO("", group);
    mail.SETTONAME(o.toText);
    for (const std::string& path : o.attachments) mail.ADDATTACHMENT(path, PART_ATTACHMENT);
    if (o.htmlFile)
        mail.SETMESSAGE(*o.htmlFile, PART_HTML_FILE);
    else if (o.messageText || o.messageFile)
        mail.SETMESSAGE(messageText, static_cast<uint8_t>(o.messageKind));
    mail.SETDEBUGFILE(o.debugFile);

    // Values no operation sets: the host writes the fields itself.
    auto addressRecord = [](const Recipient& recipient) {
        WRENPOSTADDRESS record{};
        std::strncpy(record.NAME, recipient.name.c_str(), sizeof record.NAME - 1);
        std::strncpy(record.EMAIL, recipient.address.c_str(), sizeof record.EMAIL - 1);
        return record;
    };
    for (const Recipient& recipient : o.cc) mail.CCADR.push_back(addressRecord(recipient));
    for (const Recipient& recipient : o.bcc) mail.BCCADR.push_back(addressRecord(recipient));
    if (!o.newsgroups.empty()) mail.SERVERMODE = WRENPOST_SERVERMODE_NEWS;
    // Mail to a plain host name leaves them unread.
    std::strncpy(mail.USERNAME, o.user.c_str(), sizeof mail.USERNAME - 1);
    std::strncpy(mail.USERPASSWORD, o.password.value_or("").c_str(), sizeof mail.USERPASSWORD - 1);
}

}  // namespace

int main(int argc, char* argv[])
{
    ConsoleHostServices host;
    WRENPOSTCLASS mail(host);

    ParsedCommandLine parsed = parseSendOptions(argc, argv);
    SendOptions& o = parsed.options;
    if (!parsed.error.empty()) {
        std::cerr << kProgram << ": " << parsed.error << "\nTry '" << kProgram << " --help'.\n";
        return finishWith(mail, RESULT_SETUP_FAILED);
    }
    if (o.help) {
        std::cout << sendUsage(kProgram);
        return 0;
    }
    if (o.version) {
        std::cout << kProgram << " " << QUILLNET_VERSION << "\n";
        return 0;
    }
    if (o.to.empty() && o.newsgroups.empty())
        return refuse(mail, "no recipient given (use --to, or --news to post)", RESULT_NO_RECIPIENTS);
    // Without a sender the server is offered "(NULL)", which servers refuse
    // only after the connection is made; say so before anything is sent.
    if (o.newsgroups.empty() && o.fromAddress.empty())
        return refuse(mail, "no sender address given (use --from)", RESULT_SETUP_FAILED);
    std::string why = firstUnreadableFile(o);
    if (!why.empty()) return refuse(mail, why, RESULT_SETUP_FAILED);
    const std::string prompt = "Password for " + o.user + ": ";
    why = choosePassword(o, std::getenv("QUILLNET_PASSWORD"),
                         [&] { return askPasswordOnTerminal(prompt.c_str()); });
    if (!why.empty()) return refuse(mail, why, RESULT_SETUP_FAILED);
    if (!o.user.empty() && !o.password && o.host.find("://") != std::string::npos)
        return refuse(
            mail,
            "no password for " + o.user + " (use --password-file, QUILLNET_PASSWORD or answer on a terminal)",
            RESULT_SETUP_FAILED);

    std::string messageText;
    if (o.messageText) {
        messageText = *o.messageText;
    } else if (o.messageFile) {
        if (*o.messageFile == "-") {
            messageText = readAll(std::cin);
        } else {
            std::ifstream file(*o.messageFile, std::ios::binary);
            messageText = readAll(file);
            if (file.bad()) return refuse(mail, "cannot read " + *o.messageFile, RESULT_SETUP_FAILED);
        }
    }
    if (o.htmlFile && !enterHtmlFolder(o, why)) return refuse(mail, why, RESULT_SETUP_FAILED);
    fillMail(mail, o, messageText);

    std::signal(SIGINT, onInterrupt);
    if (gInterrupted) return finishWith(mail, RESULT_CANCELLED);

    const bool showProgress = !o.quiet && isatty(fileno(stderr));
    ProgressFigures figures;
    ProgressBar bar(stderr);
    mail.setProgressHandler([&](WRENPOSTCLASS& sending) {
        if (gInterrupted) sending.USERCANCEL = 1;
        int64_t now = ProgressFigures::nowHundredths();
        figures.update(sending.BYTESPROCESSED, sending.BYTESTOTAL, now);
        if (showProgress) bar.show(figures.figures(), now);
    });

    figures.start();
    int32_t result = mail.SENDIT();
    std::signal(SIGINT, SIG_DFL);
    if (showProgress && figures.figures().MAILTOTAL > 0) {
        if (result == RESULT_OK) figures.finish();
        bar.finish(figures.figures());
    }
    return finishWith(mail, result);
}
