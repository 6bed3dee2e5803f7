#pragma once

#include <string>

#include "Transport.h"

// One server reply of one or more lines ("250-first\r\n250 last\r\n").
struct SmtpReply {
    int nCode = 0;     // the three digits of the last line
    std::string text;  // every line, each with its CR LF

    std::string LastLine() const;  // the last line without its CR LF
};

// Reads replies from a transport one at a time. Bytes that arrive after the
// end of a reply stay here for the next one, so the replies to pipelined
// commands are read in order however the server splits or joins them.
class ReplyReader {
public:
    enum Status { kReply, kClosed, kFailed, kMalformed };

    // Reads the next whole reply, each receive waiting at most
    // `nTimeoutSeconds`; every piece received goes to the debug file.
    Status Read(Transport& transport, int nTimeoutSeconds, SmtpReply& reply);

    // Bytes received after the last reply that no reply has used yet.
    bool HasPending() const { return m_nUsed < m_buffer.size(); }
    void DiscardPending();

private:
    bool TakeReply(SmtpReply& reply, bool& bMalformed);

    std::string m_buffer;
    size_t m_nUsed = 0;
};
