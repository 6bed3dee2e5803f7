#pragma once

#include <cstddef>
#include <string>

// The byte stream under the dialogue: a plain socket, or a TLS session on
// one. The dialogue reads and writes only through this interface, so it is
// the same script whether the connection is encrypted or not.
class Transport {
public:
    virtual ~Transport() = default;

    // Sends up to `nLength` bytes, waiting at most `nTimeoutSeconds` for room.
    // Returns the count sent (at least 1), or 0 or less on failure or time-out.
    virtual long Send(const char* pData, size_t nLength, int nTimeoutSeconds) = 0;

    // Receives up to `nCapacity` bytes, waiting at most `nTimeoutSeconds`.
    // Returns the count received, 0 when the peer closed, or less than 0 on
    // failure or time-out.
    virtual long Receive(char* pBuffer, size_t nCapacity, int nTimeoutSeconds) = 0;

    // Why the last call failed, when the transport has more to say than the
    // socket error ("TLS: certificate verify failed: ..."); "" otherwise.
    virtual std::string FailureText() const { return ""; }
};
