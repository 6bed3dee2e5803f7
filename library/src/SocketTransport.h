#pragma once

#include "Transport.h"
#include "platform/SystemCalls.h"

// The plain connection: bytes go to the socket as they are. The socket stays
// the session's; this class does not close it.
class SocketTransport : public Transport {
public:
    explicit SocketTransport(platform::SocketHandle socket) : m_socket(socket) {}

    long Send(const char* pData, size_t nLength, int nTimeoutSeconds) override
    {
        return platform::Calls().sendSome(m_socket, pData, nLength, nTimeoutSeconds);
    }
    long Receive(char* pBuffer, size_t nCapacity, int nTimeoutSeconds) override
    {
        return platform::Calls().receiveSome(m_socket, pBuffer, nCapacity, nTimeoutSeconds);
    }

private:
    platform::SocketHandle m_socket;
};
