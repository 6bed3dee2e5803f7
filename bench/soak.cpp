// Many mails in a row from one process through the fault proxy
// (bench/fault_proxy.py) to the capture server: before each mail it picks a
// fault, tells the proxy, sends, and checks the result code, the server's
// error text and whether the message arrived against what that fault must
// give. After the first 100 mails it takes the resident memory and the open
// descriptors as the baseline; neither may grow (memory by at most 1 MiB),
// and no temporary file may stay behind.
//
// Usage: soak PROXY_PORT CONTROL_PORT INBOX TEMP_FOLDER COUNT [SEED]
// (the library's temporary files must go to TEMP_FOLDER: set MAIL_TEMP)
#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "quillnet/wrenpost.h"

namespace {

struct Fault {
    const char* name;
    int weight;               // chance among all, in parts
    std::set<int> results;    // what _Wrenpost may return
    bool delivered;           // whether the message arrives
    const char* errorPrefix;  // start of the server text the host gets, or null
};

const std::vector<Fault> kFaults = {
    {"none", 80, {RESULT_OK}, true, nullptr},
    {"slow", 4, {RESULT_OK}, true, nullptr},
    {"stall_short", 4, {RESULT_OK}, true, nullptr},
    {"close", 3, {RESULT_RECEIVE_FAILED}, false, nullptr},
    {"greeting_error", 3, {RESULT_SERVER_ERROR}, false, "421 soak busy"},
    {"mail_error", 3, {RESULT_SERVER_ERROR}, false, "451 soak try later"},
    {"greeting_stall", 1, {RESULT_RECEIVE_FAILED}, false, nullptr},
    {"stall_data", 1, {RESULT_RECEIVE_FAILED}, false, nullptr},
    {"close_mid_data", 1, {RESULT_SEND_FAILED, RESULT_RECEIVE_FAILED}, false, nullptr},
};

[[noreturn]] void Die(const std::string& why)
{
    std::fprintf(stderr, "soak: %s\n", why.c_str());
    std::exit(1);
}

int ConnectTo(int port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        Die("cannot reach the proxy's control port");
    return fd;
}

void TellProxy(int control, const char* fault)
{
    std::string line = std::string(fault) + "\n";
    if (::send(control, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size()))
        Die("control port closed");
    char answer[16];
    size_t held = 0;
    while (held == 0 || answer[held - 1] != '\n') {
        ssize_t got = ::recv(control, answer + held, sizeof answer - held, 0);
        if (got <= 0) Die("control port closed");
        held += static_cast<size_t>(got);
    }
    if (std::strncmp(answer, "ok\n", 3) != 0) Die(std::string("proxy refused fault ") + fault);
}

size_t Entries(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) Die("cannot list " + folder);
    size_t count = 0;
    while (dirent* entry = ::readdir(dir))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) ++count;
    ::closedir(dir);
    return count;
}

long ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    Die("no VmRSS in /proc/self/status");
}

bool Exists(const std::string& path)
{
    return ::access(path.c_str(), F_OK) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 6) {
        std::fprintf(stderr, "usage: %s PROXY_PORT CONTROL_PORT INBOX TEMP_FOLDER COUNT [SEED]\n", argv[0]);
        return 2;
    }
    const std::string host = "127.0.0.1:" + std::string(argv[1]);
    const int control = ConnectTo(std::atoi(argv[2]));
    const std::string inbox = argv[3];
    const std::string tempFolder = argv[4];
    const long count = std::atol(argv[5]);
    std::mt19937 random(argc > 6 ? static_cast<unsigned>(std::atol(argv[6])) : 1u);
    std::vector<int> weights;
    for (const Fault& fault : kFaults) weights.push_back(fault.weight);
    std::discrete_distribution<size_t> pick(weights.begin(), weights.end());

    // Some kilobytes of text, so a close in the middle of the data lands in it.
    std::string text;
    for (int i = 0; text.size() < 6000; ++i) text += "Line " + std::to_string(i) + " of the soak mail.\r\n";

    WRENPOSTADDRESS to{};
    std::snprintf(to.NAME, sizeof to.NAME, "Bob");
    std::snprintf(to.EMAIL, sizeof to.EMAIL, "bob@example.org");
    HGLOBAL toBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof to);
    std::memcpy(GlobalLock(toBlock), &to, sizeof to);
    GlobalUnlock(toBlock);

    long delivered = 0, wrong = 0, baselineKiB = 0, maxKiB = 0;
    size_t baselineFds = 0, maxFds = 0;
    std::map<std::string, long> seen;
    const auto start = std::chrono::steady_clock::now();
    for (long n = 1; n <= count; ++n) {
        const Fault& fault = kFaults[pick(random)];
        TellProxy(control, fault.name);
        char errorText[500] = "";
        WRENPOSTDATA job{};
        job.MAILHOST = host.c_str();
        job.FROM = "\"Ann Example\" <ann@example.com>";
        job.SUBJECT = "Soak";
        job.TOADR = toBlock;
        job.MESSAGETEXT = text.c_str();
        job.MESSAGETYPE = PART_TEXT;
        job.SERVERERRORMESSAGE = errorText;
        const int result = _Wrenpost(&job);
        ++seen[fault.name];

        std::string problem;
        if (!fault.results.count(result)) problem = "result " + std::to_string(result);
        if (fault.errorPrefix && std::strncmp(errorText, fault.errorPrefix, std::strlen(fault.errorPrefix)) != 0)
            problem += " error text \"" + std::string(errorText) + "\"";
        // The capture server numbers the messages it keeps from 1.
        const std::string next = inbox + "/" + std::to_string(delivered + 1);
        const bool bArrived = Exists(next + ".eml");
        if (bArrived != fault.delivered) problem += bArrived ? " delivered" : " not delivered";
        if (bArrived) {
            ++delivered;
            std::remove((next + ".eml").c_str());
            std::remove((next + ".envelope").c_str());
        }
        if (Entries(tempFolder) != 0) problem += " temporary file left";
        if (!problem.empty()) {
            ++wrong;
            std::fprintf(stderr, "mail %ld (%s):%s\n", n, fault.name, problem.c_str());
        }

        const long kib = ResidentKiB();
        const size_t fds = Entries("/proc/self/fd");
        if (n == 100 || (n < 100 && n == count)) {
            baselineKiB = maxKiB = kib;
            baselineFds = maxFds = fds;
        } else if (n > 100) {
            maxKiB = std::max(maxKiB, kib);
            maxFds = std::max(maxFds, fds);
            if (fds != baselineFds) {
                ++wrong;
                std::fprintf(stderr, "mail %ld (%s): %zu descriptors open, %zu after mail 100\n", n,
                             fault.name, fds, baselineFds);
            }
        }
        if (n % 1000 == 0) std::fprintf(stderr, "soak: %ld mails, RSS %ld KiB\n", n, kib);
    }
    GlobalFree(toBlock);
    ::close(control);

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long growthKiB = maxKiB - baselineKiB;
    std::printf("soak: %ld mails in %.1f s, %ld delivered, %ld not as expected\n", count, seconds, delivered, wrong);
    std::printf("soak: faults:");
    for (const auto& [name, times] : seen) std::printf(" %s %ld", name.c_str(), times);
    std::printf("\n");
    std::printf("soak: RSS after mail 100 %ld KiB, highest after %ld KiB (growth %ld KiB, limit 1024)\n",
                baselineKiB, maxKiB, growthKiB);
    std::printf("soak: descriptors after mail 100 %zu, highest after %zu\n", baselineFds, maxFds);
    std::printf("soak: temporary files left %zu\n", Entries(tempFolder));
    return wrong == 0 && growthKiB <= 1024 ? 0 : 1;
}
