// A build without TLS (QUILLNET_WITH_TLS off): a server URL that asks for it fails
// cleanly.
#include "platform/Tls.h"

namespace platform {

bool TlsIsBuiltIn()
{
    return false;
}

std::unique_ptr<Transport> StartTls(SocketHandle, const std::string&, int, std::string& failure)
{
    failure = "TLS: TLS is not built into this library";
    return nullptr;
}

}  // namespace platform
