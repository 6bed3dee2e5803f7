// TLS through OpenSSL. The socket is switched to non-blocking mode for the
// session and every wait goes through poll(), so a stalled handshake, read or
// write ends after its time-out like any other wait of the dialogue. The
// bytes pass through a BIO of our own that sends with MSG_NOSIGNAL: a server
// that closes mid-write must not raise SIGPIPE in the host.
#include "platform/Tls.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>

namespace platform {

namespace {

int SocketWrite(BIO* pBio, const char* pData, int nLength)
{
    BIO_clear_retry_flags(pBio);
    ssize_t nSent = ::send(static_cast<int>(BIO_get_fd(pBio, nullptr)), pData, static_cast<size_t>(nLength),
                           MSG_NOSIGNAL);
    if (nSent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) BIO_set_retry_write(pBio);
    return static_cast<int>(nSent);
}

int SocketRead(BIO* pBio, char* pBuffer, int nCapacity)
{
    BIO_clear_retry_flags(pBio);
    ssize_t nReceived =
        ::recv(static_cast<int>(BIO_get_fd(pBio, nullptr)), pBuffer, static_cast<size_t>(nCapacity), 0);
    if (nReceived < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_read(pBio);
    return static_cast<int>(nReceived);
}

long SocketControl(BIO* pBio, int nCommand, long nArgument, void* pArgument)
{
    switch (nCommand) {
        case BIO_C_SET_FD:
            return BIO_meth_get_ctrl(BIO_s_socket())(pBio, nCommand, nArgument, pArgument);
        case BIO_C_GET_FD:
            return BIO_meth_get_ctrl(BIO_s_socket())(pBio, nCommand, nArgument, pArgument);
        case BIO_CTRL_FLUSH:
            return 1;
        default:
            return 0;
    }
}

// Without a create procedure OpenSSL marks a new BIO as set up, holding
// descriptor 0 and owning it: BIO_set_fd would then close the host's standard
// input. Starting it unset leaves descriptor 0 alone.
int SocketCreate(BIO* pBio)
{
    BIO_set_init(pBio, 0);
    return 1;
}

BIO_METHOD* NoSignalSocketMethod()
{
    static BIO_METHOD* s_pMethod = [] {
        BIO_METHOD* pMethod = BIO_meth_new(BIO_TYPE_SOCKET, "quillnet socket");
        BIO_meth_set_create(pMethod, SocketCreate);
        BIO_meth_set_write(pMethod, SocketWrite);
        BIO_meth_set_read(pMethod, SocketRead);
        BIO_meth_set_ctrl(pMethod, SocketControl);
        return pMethod;
    }();
    return s_pMethod;
}

std::string OpenSslErrors()
{
    std::string text;
    while (unsigned long nError = ERR_get_error()) {
        char szText[256];
        ERR_error_string_n(nError, szText, sizeof szText);
        if (!text.empty()) text += "; ";
        text += szText;
    }
    return text;
}

using Clock = std::chrono::steady_clock;

// Waits for the socket until `deadline`; false on time-out.
bool WaitUntil(int socket, short events, Clock::time_point deadline)
{
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd entry{socket, events, 0};
        int ready = ::poll(&entry, 1, left > INT_MAX ? INT_MAX : static_cast<int>(left));
        if (ready > 0) return true;
        if (ready < 0 && errno != EINTR) return false;
    }
}

Clock::time_point DeadlineIn(int seconds)
{
    return Clock::now() + std::chrono::seconds(seconds > 0 ? seconds : 0);
}

class TlsTransport : public Transport {
public:
    TlsTransport(int socket, SSL_CTX* pContext, SSL* pSsl)
        : m_socket(socket), m_pContext(pContext), m_pSsl(pSsl)
    {
    }
    ~TlsTransport() override
    {
        SSL_free(m_pSsl);
        SSL_CTX_free(m_pContext);
    }

    long Send(const char* pData, size_t nLength, int nTimeoutSeconds) override
    {
        int nChunk = nLength > INT_MAX ? INT_MAX : static_cast<int>(nLength);
        auto deadline = DeadlineIn(nTimeoutSeconds);
        for (;;) {
            ERR_clear_error();
            int nSent = SSL_write(m_pSsl, pData, nChunk);
            if (nSent > 0) return nSent;
            if (!WaitAfter(SSL_get_error(m_pSsl, nSent), deadline)) return -1;
        }
    }

    long Receive(char* pBuffer, size_t nCapacity, int nTimeoutSeconds) override
    {
        int nChunk = nCapacity > INT_MAX ? INT_MAX : static_cast<int>(nCapacity);
        auto deadline = DeadlineIn(nTimeoutSeconds);
        for (;;) {
            ERR_clear_error();
            int nReceived = SSL_read(m_pSsl, pBuffer, nChunk);
            if (nReceived > 0) return nReceived;
            int nError = SSL_get_error(m_pSsl, nReceived);
            if (nError == SSL_ERROR_ZERO_RETURN) return 0;
            if (!WaitAfter(nError, deadline)) return -1;
        }
    }

    std::string FailureText() const override { return m_failure; }

private:
    // After a call that did not complete: waits for what OpenSSL wants, or
    // notes why the session is broken. False ends the call.
    bool WaitAfter(int nError, Clock::time_point deadline)
    {
        if (nError == SSL_ERROR_WANT_READ) return WaitUntil(m_socket, POLLIN, deadline);
        if (nError == SSL_ERROR_WANT_WRITE) return WaitUntil(m_socket, POLLOUT, deadline);
        if (nError == SSL_ERROR_SSL) m_failure = "TLS: " + OpenSslErrors();
        return false;
    }

    int m_socket;
    SSL_CTX* m_pContext;
    SSL* m_pSsl;
    std::string m_failure;
};

bool IsIpAddress(const std::string& name)
{
    unsigned char address[16];
    return ::inet_pton(AF_INET, name.c_str(), address) == 1 ||
           ::inet_pton(AF_INET6, name.c_str(), address) == 1;
}

SSL_CTX* MakeContext(std::string& failure)
{
    SSL_CTX* pContext = SSL_CTX_new(TLS_client_method());
    if (!pContext) {
        failure = "TLS: " + OpenSslErrors();
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(pContext, TLS1_2_VERSION);
    SSL_CTX_set_verify(pContext, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_mode(pContext, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // OpenSSL's default paths follow SSL_CERT_FILE and SSL_CERT_DIR.
    SSL_CTX_set_default_verify_paths(pContext);
    const char* pszExtraCa = std::getenv("QUILLNET_TLS_CA_FILE");
    if (pszExtraCa && *pszExtraCa && SSL_CTX_load_verify_locations(pContext, pszExtraCa, nullptr) != 1) {
        failure = std::string("TLS: cannot read the CA file '") + pszExtraCa + "': " + OpenSslErrors();
        SSL_CTX_free(pContext);
        return nullptr;
    }
    return pContext;
}

}  // namespace

bool TlsIsBuiltIn()
{
    return true;
}

std::unique_ptr<Transport> StartTls(SocketHandle socket, const std::string& serverName, int timeoutSeconds,
                                    std::string& failure)
{
    ERR_clear_error();
    SSL_CTX* pContext = MakeContext(failure);
    if (!pContext) return nullptr;
    SSL* pSsl = SSL_new(pContext);
    BIO* pBio = pSsl ? BIO_new(NoSignalSocketMethod()) : nullptr;
    if (!pBio) {
        failure = "TLS: " + OpenSslErrors();
        SSL_free(pSsl);
        SSL_CTX_free(pContext);
        return nullptr;
    }
    BIO_set_fd(pBio, socket, BIO_NOCLOSE);
    SSL_set_bio(pSsl, pBio, pBio);
    auto transport = std::make_unique<TlsTransport>(socket, pContext, pSsl);

    // The name is checked against the certificate; an address against its
    // IP entries. SNI carries names only.
    if (IsIpAddress(serverName)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(pSsl), serverName.c_str());
    } else {
        SSL_set_tlsext_host_name(pSsl, serverName.c_str());
        SSL_set1_host(pSsl, serverName.c_str());
    }

    int flags = ::fcntl(socket, F_GETFL);
    if (flags < 0 || ::fcntl(socket, F_SETFL, flags | O_NONBLOCK) < 0) {
        failure = "TLS: cannot switch the socket to non-blocking mode";
        return nullptr;
    }
    auto deadline = DeadlineIn(timeoutSeconds);
    for (;;) {
        ERR_clear_error();
        int result = SSL_connect(pSsl);
        if (result == 1) return transport;
        int nError = SSL_get_error(pSsl, result);
        bool bWaited = false;
        if (nError == SSL_ERROR_WANT_READ) bWaited = WaitUntil(socket, POLLIN, deadline);
        if (nError == SSL_ERROR_WANT_WRITE) bWaited = WaitUntil(socket, POLLOUT, deadline);
        if (bWaited) continue;
        if (nError == SSL_ERROR_WANT_READ || nError == SSL_ERROR_WANT_WRITE) {
            failure = "TLS: handshake timed out";
        } else if (SSL_get_verify_result(pSsl) != X509_V_OK) {
            failure = std::string("TLS: certificate verify failed: ") +
                      X509_verify_cert_error_string(SSL_get_verify_result(pSsl));
        } else {
            std::string errors = OpenSslErrors();
            failure = errors.empty() ? "TLS: the server closed the connection during the handshake"
                                     : "TLS: handshake failed: " + errors;
        }
        return nullptr;
    }
}

}  // namespace platform
