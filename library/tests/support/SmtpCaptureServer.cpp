#include "support/SmtpCaptureServer.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace dialoguetest {

std::string PeersFolder()
{
    return std::string(QUILLNET_TEST_DATA_DIR) + "/../peers";
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

SmtpCaptureServer::SmtpCaptureServer(std::string folder, std::vector<std::string> options)
    : m_folder(std::move(folder))
{
    int input[2], output[2];
    if (::pipe(input) != 0 || ::pipe(output) != 0) return;  // the test fails on Started()
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    posix_spawn_file_actions_addclose(&actions, input[1]);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    std::string script = PeersFolder() + "/capture_server.py";
    std::vector<const char*> argv = {QUILLNET_PYTHON, script.c_str(), m_folder.c_str()};
    for (const std::string& option : options) argv.push_back(option.c_str());
    argv.push_back(nullptr);
    int spawned =
        ::posix_spawn(&m_pid, QUILLNET_PYTHON, &actions, nullptr, const_cast<char**>(argv.data()), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    ::close(output[1]);
    m_stdin = input[1];
    if (spawned != 0) {
        m_pid = -1;
        ::close(output[0]);
        return;
    }

    // The server prints "PORT <n>" once it accepts connections.
    std::string line;
    pollfd entry{output[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos && ::poll(&entry, 1, 15000) > 0) {
        char buffer[256];
        ssize_t got = ::read(output[0], buffer, sizeof buffer);
        if (got <= 0) break;
        line.append(buffer, static_cast<size_t>(got));
    }
    ::close(output[0]);
    std::sscanf(line.c_str(), "PORT %d", &m_port);
}

SmtpCaptureServer::~SmtpCaptureServer()
{
    if (m_stdin >= 0) ::close(m_stdin);  // the server stops when its input closes
    if (m_pid <= 0) return;
    for (int waited = 0; waited < 5000; waited += 20) {
        if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
}

std::string SmtpCaptureServer::HostSetting() const
{
    return "127.0.0.1:" + std::to_string(m_port);
}

std::vector<std::string> SmtpCaptureServer::Messages() const
{
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(m_folder))
        if (entry.path().extension() == ".eml") found.push_back(entry.path().string());
    std::sort(found.begin(), found.end(), [](const std::string& a, const std::string& b) {
        return std::stoi(std::filesystem::path(a).stem().string()) <
               std::stoi(std::filesystem::path(b).stem().string());
    });
    return found;
}

ParsedMessage ParseDeliveredMessage(const std::string& emlPath, const std::string& workFolder)
{
    ParsedMessage parsed;
    std::string command = std::string(QUILLNET_PYTHON) + " '" + PeersFolder() + "/check_message.py' '" +
                          emlPath + "' '" + workFolder + "/parsed'";
    FILE* pOutput = ::popen(command.c_str(), "r");
    if (!pOutput) return parsed;
    char line[4096];
    while (std::fgets(line, sizeof line, pOutput)) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "defects") {
            words >> parsed.defects;
        } else if (kind == "part") {
            ParsedPart part;
            std::string number, bodyPath;
            words >> number >> part.contentType >> part.fileName >> part.contentId >> bodyPath;
            part.body = ReadWholeFile(bodyPath);
            parsed.parts.push_back(part);
        } else if (kind == "ref") {
            std::string reference, state;
            words >> reference >> state;
            if (state == "resolved")
                ++parsed.resolvedReferences;
            else
                parsed.missingReferences.push_back(reference);
        }
    }
    ::pclose(pOutput);
    return parsed;
}

}  // namespace dialoguetest
