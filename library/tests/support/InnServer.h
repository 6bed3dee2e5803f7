#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// A private news server from Debian's inn2 package: nnrpd as a standalone
// daemon on 127.0.0.1 with its whole state (configuration, active file,
// overview, spool) in a folder of its own, found through INNCONF. innd does
// not run, so nnrpd spools every accepted post into the folder's incoming
// spool, where the test reads it. It serves one group, "quillnet.test", with
// the given certificate: STARTTLS on request, or TLS from the first byte.
// Stopped by its process id when the object goes.
namespace dialoguetest {

class InnServer {
public:
    // Where Debian puts the daemon; absent when inn2 is not installed.
    static const char* DaemonPath() { return "/usr/lib/news/bin/nnrpd"; }
    static bool Installed();

    InnServer(std::string folder, const std::string& certificate, const std::string& key, bool implicitTls);
    ~InnServer();

    InnServer(const InnServer&) = delete;
    InnServer& operator=(const InnServer&) = delete;

    bool Started() const { return m_port > 0; }
    int Port() const { return m_port; }
    // Why the start failed, for the test's message.
    const std::string& Failure() const { return m_failure; }

    // Paths of the spooled posts, one article each.
    std::vector<std::string> SpooledArticles() const;

private:
    bool Prepare(const std::string& certificate, const std::string& key);

    std::string m_folder;
    pid_t m_pid = -1;
    int m_port = 0;
    std::string m_failure;
};

}  // namespace dialoguetest
