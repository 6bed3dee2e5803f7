#pragma once

#include <cstddef>
#include <string>

// Turns message file bytes into their wire form for the DATA and POST phases:
// a line feed without a carriage return before it goes out as CR LF, and a "."
// that begins a line is doubled so the server cannot take it for the end of
// the message. The state carries across calls, so a line end or a dot split
// between two pieces is handled as if the pieces were one.
class CTransferFilter {
public:
    // Appends the wire form of `nLength` bytes at `pData` to `out`.
    void Append(const char* pData, size_t nLength, std::string& out);

    // The same, but when the wire form equals the bytes themselves, appends
    // nothing and returns false: the caller may send the bytes as they are.
    bool AppendIfChanged(const char* pData, size_t nLength, std::string& out);

    // The line that ends the message. The CR LF before the "." ends the last
    // line of the message, so when the message already ends with a line end
    // only ".\r\n" follows; adding another CR LF would add an empty line to
    // every mail. Either way the wire ends in "\r\n.\r\n".
    const char* EndOfMessage() const { return m_bAnyData && m_bLineStart ? ".\r\n" : "\r\n.\r\n"; }

private:
    // Appends the wire form to `out` where it differs; true when the bytes
    // needed no change (and nothing was appended).
    bool Filter(const char* pData, size_t nLength, std::string& out);

    bool m_bAnyData = false;   // some byte was appended
    bool m_bLineStart = true;  // the next byte begins a line
    bool m_bAfterCR = false;   // the last byte seen was a carriage return
};
