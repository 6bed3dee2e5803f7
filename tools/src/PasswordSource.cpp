#include "PasswordSource.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#ifndef _WIN32
#include <signal.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace quillnet {

std::optional<std::string> readPasswordFile(const std::string& path, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read the password file " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    std::string line;
    std::getline(file, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) {
        error = "the password file " + path + " has no password on its first line";
        return std::nullopt;
    }
    if (line.size() > kMaxPassword) {
        error = "the password in " + path + " is longer than " + std::to_string(kMaxPassword) + " characters";
        return std::nullopt;
    }
    return line;
}

std::string choosePassword(SendOptions& o, const char* environment, const PasswordPrompt& ask)
{
    if (o.user.empty() || o.password) {
        if (o.password && o.password->size() > kMaxPassword)
            return "the password is longer than " + std::to_string(kMaxPassword) + " characters";
        return {};
    }
    std::string error;
    if (o.passwordFile) {
        o.password = readPasswordFile(*o.passwordFile, error);
        return error;
    }
    if (environment && *environment) {
        if (std::strlen(environment) > kMaxPassword)
            return "QUILLNET_PASSWORD is longer than " + std::to_string(kMaxPassword) + " characters";
        o.password = environment;
        return {};
    }
    // A plain host name has no login for mail, and news servers that want
    // one are given it on the command line as they always were.
    if (o.host.find("://") != std::string::npos && ask) {
        o.password = ask();
        if (o.password && o.password->size() > kMaxPassword) {
            o.password.reset();
            return "the password is longer than " + std::to_string(kMaxPassword) + " characters";
        }
    }
    return {};
}

#ifdef _WIN32

std::optional<std::string> askPasswordOnTerminal(const char*)
{
    return std::nullopt;  // use --password-file or QUILLNET_PASSWORD
}

#else

namespace {

volatile sig_atomic_t gPromptInterrupted = 0;

extern "C" void onPromptInterrupt(int)
{
    gPromptInterrupted = 1;
}

}  // namespace

std::optional<std::string> askPasswordOnTerminal(const char* prompt)
{
    if (!::isatty(STDIN_FILENO)) return std::nullopt;
    termios saved{};
    if (::tcgetattr(STDIN_FILENO, &saved) != 0) return std::nullopt;
    // Ctrl-C must not leave the terminal without echo: it only interrupts
    // the read (no SA_RESTART), and the settings are put back below.
    struct sigaction quiet {
    }, previous{};
    quiet.sa_handler = onPromptInterrupt;
    sigemptyset(&quiet.sa_mask);
    gPromptInterrupted = 0;
    ::sigaction(SIGINT, &quiet, &previous);
    termios silent = saved;
    silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    silent.c_lflag |= ECHONL;
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    ::write(STDERR_FILENO, prompt, std::strlen(prompt));

    std::string line;
    bool complete = false;
    char c;
    while (!gPromptInterrupted) {
        ssize_t got = ::read(STDIN_FILENO, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        if (c == '\n') {
            complete = true;
            break;
        }
        line += c;
    }
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    ::sigaction(SIGINT, &previous, nullptr);
    if (!complete) {
        ::write(STDERR_FILENO, "\n", 1);
        return std::nullopt;
    }
    return line;
}

#endif

std::vector<std::string> refusedRecipients(const std::string& serverText)
{
    std::vector<std::string> lines;
    const std::string lead = "Refused: ";
    if (serverText.compare(0, lead.size(), lead) != 0) return lines;
    // Each entry starts with "<": a ";" inside a server's reply is no separator.
    size_t begin = lead.size();
    while (begin < serverText.size()) {
        size_t end = serverText.find("; <", begin);
        lines.push_back(serverText.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
        if (end == std::string::npos) break;
        begin = end + 2;
    }
    return lines;
}

}  // namespace quillnet
