#include "support/InnServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

extern char** environ;

namespace dialoguetest {
namespace {

namespace fs = std::filesystem;

const char* const kToolFolder = "/usr/lib/news/bin";

// A port that was free a moment ago: nnrpd takes its port on the command line.
int FreePort()
{
    int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(probe);
    return port;
}

bool Accepts(int port)
{
    int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    bool connected = ::connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(probe);
    return connected;
}

// Runs `argv` with INNCONF set; returns the process id, or -1.
pid_t Spawn(const std::vector<std::string>& argv, const std::string& innconf, const std::string& output)
{
    std::vector<std::string> environment = {"INNCONF=" + innconf};
    for (char** entry = environ; *entry; ++entry) {
        if (std::string(*entry).rfind("INNCONF=", 0) != 0) environment.emplace_back(*entry);
    }
    std::vector<char*> envp, args;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    if (::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool RunToEnd(const std::vector<std::string>& argv, const std::string& innconf, const std::string& output)
{
    pid_t pid = Spawn(argv, innconf, output);
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void WriteFile(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

bool InnServer::Installed()
{
    return ::access(DaemonPath(), X_OK) == 0;
}

InnServer::InnServer(std::string folder, const std::string& certificate, const std::string& key,
                     bool implicitTls)
    : m_folder(std::move(folder))
{
    if (!Prepare(certificate, key)) return;
    const std::string innconf = m_folder + "/etc/inn.conf";
    const std::string output = m_folder + "/log/nnrpd.out";
    int port = FreePort();
    // -f: no detaching, so the id is the daemon's; -o: spool posts, innd is not there.
    std::vector<std::string> argv = {DaemonPath(), "-D",        "-f", "-o",
                                     "-b",         "127.0.0.1", "-p", std::to_string(port)};
    if (implicitTls) argv.push_back("-S");
    m_pid = Spawn(argv, innconf, output);
    if (m_pid <= 0) {
        m_failure = "nnrpd could not be started";
        return;
    }
    for (int waited = 0; waited < 10000; waited += 50) {
        if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            m_failure = "nnrpd ended at once: " +
                        std::string(std::istreambuf_iterator<char>(std::ifstream(output).rdbuf()), {});
            return;
        }
        if (Accepts(port)) {
            m_port = port;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    m_failure = "nnrpd did not accept connections";
}

InnServer::~InnServer()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        bool ended = false;
        for (int waited = 0; waited < 5000 && !ended; waited += 20) {
            ended = ::waitpid(m_pid, nullptr, WNOHANG) == m_pid;
            if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!ended) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    std::error_code ignored;
    fs::remove_all(m_folder, ignored);
}

bool InnServer::Prepare(const std::string& certificate, const std::string& key)
{
    const fs::path root(m_folder);
    std::error_code error;
    fs::remove_all(root, error);
    for (const char* sub : {"etc", "db", "run", "log", "tmp", "spool/incoming", "spool/articles",
                            "spool/overview", "spool/outgoing", "spool/archive"})
        fs::create_directories(root / sub);
    const std::string r = m_folder;
    WriteFile(root / "etc/inn.conf",
              "domain: localdomain\npathhost: quillnet.test\norganization: \"quillnet tests\"\n"
              "mta: \"/bin/false\"\novmethod: tradindexed\nhismethod: hisv6\n"
              "pathnews: /usr/lib/news\npathbin: /usr/lib/news/bin\npathcontrol: /usr/lib/news/bin/control\n"
              "pathfilter: " +
                  r + "/etc/filter\npathdb: " + r + "/db\npathetc: " + r +
                  "/etc\n"
                  "pathrun: " +
                  r + "/run\npathlog: " + r + "/log\npathtmp: " + r + "/tmp\npathhttp: " + r +
                  "/log\n"
                  "pathspool: " +
                  r + "/spool\npathincoming: " + r +
                  "/spool/incoming\n"
                  "patharticles: " +
                  r + "/spool/articles\npathoverview: " + r +
                  "/spool/overview\n"
                  "pathoutgoing: " +
                  r + "/spool/outgoing\npatharchive: " + r +
                  "/spool/archive\n"
                  "tlscertfile: " +
                  r + "/etc/cert.pem\ntlskeyfile: " + r + "/etc/key.pem\n");
    WriteFile(root / "etc/storage.conf", "method tradspool {\n    newsgroups: *\n    class: 0\n}\n");
    WriteFile(root / "etc/readers.conf",
              "auth \"local\" {\n    hosts: \"127.0.0.1, ::1, localhost\"\n    default: \"<local>\"\n}\n"
              "access \"local\" {\n    users: \"<local>\"\n    newsgroups: \"*\"\n    access: RPA\n}\n");
    WriteFile(root / "db/active", "quillnet.test 0000000000 0000000001 y\n");
    WriteFile(root / "db/newsgroups", "quillnet.test\tThe group of the tests.\n");
    fs::copy_file(certificate, root / "etc/cert.pem", error);
    if (!error) fs::copy_file(key, root / "etc/key.pem", error);
    if (error) {
        m_failure = "cannot copy the certificate: " + error.message();
        return false;
    }
    // Run as root, INN's programs switch to the news user: the state must be its.
    if (::geteuid() == 0) {
        const passwd* news = ::getpwnam("news");
        if (!news) {
            m_failure = "there is no user news to run INN as";
            return false;
        }
        if (::chown(m_folder.c_str(), news->pw_uid, news->pw_gid) != 0) return false;
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            if (::chown(entry.path().c_str(), news->pw_uid, news->pw_gid) != 0) {
                m_failure = "cannot hand " + entry.path().string() + " to the news user";
                return false;
            }
        }
    }
    if (!RunToEnd({std::string(kToolFolder) + "/tdx-util", "-c", "-n", "quillnet.test"},
                  m_folder + "/etc/inn.conf", m_folder + "/log/setup.out")) {
        m_failure = "tdx-util could not make the overview of quillnet.test";
        return false;
    }
    return true;
}

std::vector<std::string> InnServer::SpooledArticles() const
{
    std::vector<std::string> articles;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(fs::path(m_folder) / "spool/incoming", error)) {
        if (entry.is_regular_file()) articles.push_back(entry.path().string());
    }
    return articles;
}

}  // namespace dialoguetest
