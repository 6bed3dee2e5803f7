#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// A real SMTP server from Debian's packages (aiosmtpd) on 127.0.0.1, run by
// peers/capture_server.py for the length of a test. Every accepted message
// lands in a folder as <n>.eml with its envelope in <n>.envelope.
namespace dialoguetest {

std::string PeersFolder();  // library/tests/peers

class SmtpCaptureServer {
public:
    // `options` go to capture_server.py ("--cert", path, "--auth", "u:p", ...).
    explicit SmtpCaptureServer(std::string folder, std::vector<std::string> options = {});
    ~SmtpCaptureServer();

    SmtpCaptureServer(const SmtpCaptureServer&) = delete;
    SmtpCaptureServer& operator=(const SmtpCaptureServer&) = delete;

    bool Started() const { return m_port > 0; }
    std::string HostSetting() const;  // "127.0.0.1:<port>"
    int Port() const { return m_port; }

    // Paths of the messages accepted so far, in order of arrival.
    std::vector<std::string> Messages() const;

private:
    std::string m_folder;
    pid_t m_pid = -1;
    int m_stdin = -1;
    int m_port = 0;
};

// One leaf part of a delivered message as Python's email package sees it.
struct ParsedPart {
    std::string contentType;
    std::string fileName;   // "-" for none
    std::string contentId;  // "-" for none
    std::string body;       // decoded
};

struct ParsedMessage {
    int defects = -1;
    std::vector<ParsedPart> parts;
    std::vector<std::string> missingReferences;  // cid: references with no part
    int resolvedReferences = 0;
};

// Runs peers/check_message.py on a delivered message.
ParsedMessage ParseDeliveredMessage(const std::string& emlPath, const std::string& workFolder);

std::string ReadWholeFile(const std::string& path);

}  // namespace dialoguetest
