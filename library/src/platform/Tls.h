#pragma once

#include <memory>
#include <string>

#include "Transport.h"
#include "platform/Sockets.h"

// TLS on a connected socket, one implementation per platform (OpenSSL on
// Linux, Schannel on Windows). The session requires TLS 1.2 or newer, sends
// `serverName` for SNI and checks the server's certificate against the
// system's trust store, plus the CA file named by QUILLNET_TLS_CA_FILE, and
// against `serverName`. There is no way to switch the check off.
namespace platform {

// False where the library is built without TLS: a server URL then fails
// before any connection is made.
bool TlsIsBuiltIn();

// Runs the handshake within `timeoutSeconds`. Returns the session, which
// reads and writes through `socket` (still the caller's to close), or null
// with the reason in `failure` ("TLS: certificate verify failed: ...").
std::unique_ptr<Transport> StartTls(SocketHandle socket, const std::string& serverName, int timeoutSeconds,
                                    std::string& failure);

}  // namespace platform
