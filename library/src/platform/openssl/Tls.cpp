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
#include <string>

namespace platform {

namespace {

// The socket under a session, and the records OpenSSL has written but the
// socket has not yet taken. OpenSSL hands over one record (at most 16 KiB of
// text) per write; sending each alone costs a system call and a TCP segment
// per record, so the records of one SSL_write are gathered and sent together
// when the session flushes (after a handshake flight, an alert, or an
// SSL_write of ours).
struct SocketLink {
    int socket = -1;
    std::string pending;
    size_t nSent = 0;  // bytes at the front of `pending` already sent

    // Sends what is pending without waiting: 1 when all went, 0 when the
    // socket is full, -1 on failure.
    int SendPending()
    {
        while (nSent < pending.size()) {
            ssize_t nGone = ::send(socket, pending.data() + nSent, pending.size() - nSent, MSG_NOSIGNAL);
            if (nGone < 0) {
                if (errno == EINTR) continue;
                return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
            }
            nSent += static_cast<size_t>(nGone);
        }
        pending.clear();
        nSent = 0;
        return 1;
    }
};

// Records gathered beyond this are sent before more are taken, so a caller
// that never flushes still holds no more than this.
constexpr size_t kMaxPending = 512 * 1024;

SocketLink& LinkOf(BIO* pBio)
{
    return *static_cast<SocketLink*>(BIO_get_data(pBio));
}

int SocketWrite(BIO* pBio, const char* pData, int nLength)
{
    BIO_clear_retry_flags(pBio);
    SocketLink& link = LinkOf(pBio);
    if (link.pending.size() >= kMaxPending) {
        int nState = link.SendPending();
        if (nState < 0) return -1;
        if (nState == 0) {
            BIO_set_retry_write(pBio);
            return -1;
        }
    }
    link.pending.append(pData, static_cast<size_t>(nLength));
    return nLength;
}

int SocketRead(BIO* pBio, char* pBuffer, int nCapacity)
{
    BIO_clear_retry_flags(pBio);
    ssize_t nReceived = ::recv(LinkOf(pBio).socket, pBuffer, static_cast<size_t>(nCapacity), 0);
    if (nReceived < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_read(pBio);
    return static_cast<int>(nReceived);
}

long SocketControl(BIO* pBio, int nCommand, long, void*)
{
    if (nCommand != BIO_CTRL_FLUSH) return 0;
    BIO_clear_retry_flags(pBio);
    int nState = LinkOf(pBio).SendPending();
    if (nState == 0) BIO_set_retry_write(pBio);
    return nState > 0 ? 1 : -1;
}

// Ready at once: the BIO owns no descriptor (so it can close none of the
// host's); the socket comes with the session's SocketLink.
int SocketCreate(BIO* pBio)
{
    BIO_set_init(pBio, 1);
    return 1;
}

BIO_METHOD* NoSignalSocketMethod()
{
    static BIO_METHOD* s_pMethod = [] {
        BIO_METHOD* pMethod = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "quillnet socket");
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
    TlsTransport(int socket, SSL_CTX* pContext) : m_socket(socket), m_pContext(pContext)
    {
        m_link.socket = socket;
    }
    ~TlsTransport() override
    {
        SSL_free(m_pSsl);
        SSL_CTX_free(m_pContext);
    }

    // Gives the session its own BIO on the socket; false when OpenSSL cannot.
    bool Attach()
    {
        m_pSsl = SSL_new(m_pContext);
        BIO* pBio = m_pSsl ? BIO_new(NoSignalSocketMethod()) : nullptr;
        if (!pBio) return false;
        BIO_set_data(pBio, &m_link);
        SSL_set_bio(m_pSsl, pBio, pBio);
        return true;
    }
    SSL* Session() const { return m_pSsl; }

    long Send(const char* pData, size_t nLength, int nTimeoutSeconds) override
    {
        int nChunk = nLength > INT_MAX ? INT_MAX : static_cast<int>(nLength);
        auto deadline = DeadlineIn(nTimeoutSeconds);
        for (;;) {
            ERR_clear_error();
            int nSent = SSL_write(m_pSsl, pData, nChunk);
            if (nSent > 0) return SendPending(deadline) ? nSent : -1;
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

    // The records of an SSL_write are gathered by the BIO; the call counts as
    // done once the socket has taken them all.
    bool SendPending(Clock::time_point deadline)
    {
        for (;;) {
            int nState = m_link.SendPending();
            if (nState > 0) return true;
            if (nState < 0 || !WaitUntil(m_socket, POLLOUT, deadline)) return false;
        }
    }

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
    SSL* m_pSsl = nullptr;
    SocketLink m_link;
    std::string m_failure;
};

bool IsIpAddress(const std::string& name)
{
    unsigned char address[16];
    return ::inet_pton(AF_INET, name.c_str(), address) == 1 ||
           ::inet_pton(AF_INET6, name.c_str(), address) == 1;
}

// OpenSSL's default places of trust, named by SSL_CERT_FILE and SSL_CERT_DIR
// or built in. SSL_CTX_set_default_verify_paths parses the whole bundle file
// (some hundred certificates, tens of milliseconds) on every connection; here
// the hashed folder is asked first, which reads just the issuer it names, and
// the bundle is parsed only when neither the extra CA file nor the folder
// knows the issuer. What is trusted is the same; only the reading is later.
const char* DefaultPath(const char* pszVariable, const char* pszBuiltIn)
{
    const char* pszValue = std::getenv(pszVariable);
    return pszValue && *pszValue ? pszValue : pszBuiltIn;
}

int LoadBundleOnDemand(X509_LOOKUP* pLookup, X509_LOOKUP_TYPE type, const X509_NAME* pName,
                       X509_OBJECT* pResult)
{
    if (type != X509_LU_X509) return 0;
    X509_STORE* pStore = X509_LOOKUP_get_store(pLookup);
    if (!X509_LOOKUP_get_method_data(pLookup)) {
        X509_LOOKUP_set_method_data(pLookup, pStore);  // read once, found or not
        const char* pszBundle = DefaultPath(X509_get_default_cert_file_env(), X509_get_default_cert_file());
        // A missing bundle is no error: the other places may still know the issuer.
        if (X509_load_cert_crl_file(pLookup, pszBundle, X509_FILETYPE_PEM) <= 0) ERR_clear_error();
    }
    if (!X509_STORE_lock(pStore)) return 0;
    X509_OBJECT* pFound = X509_OBJECT_retrieve_by_subject(X509_STORE_get0_objects(pStore), type, pName);
    X509* pCertificate = pFound ? X509_OBJECT_get0_X509(pFound) : nullptr;
    int nFound = pCertificate && X509_OBJECT_set1_X509(pResult, pCertificate) ? 1 : 0;
    // The caller takes its own reference from the result, as from OpenSSL's
    // own lookups, which hand over the store's object without one; the store
    // keeps the certificate alive.
    if (nFound) X509_free(pCertificate);
    X509_STORE_unlock(pStore);
    return nFound;
}

X509_LOOKUP_METHOD* BundleOnDemandMethod()
{
    static X509_LOOKUP_METHOD* s_pMethod = [] {
        X509_LOOKUP_METHOD* pMethod = X509_LOOKUP_meth_new("quillnet bundle on demand");
        X509_LOOKUP_meth_set_get_by_subject(pMethod, LoadBundleOnDemand);
        return pMethod;
    }();
    return s_pMethod;
}

void AddDefaultTrust(X509_STORE* pStore)
{
    X509_LOOKUP* pFolder = X509_STORE_add_lookup(pStore, X509_LOOKUP_hash_dir());
    if (pFolder) {
        X509_LOOKUP_add_dir(pFolder,
                            DefaultPath(X509_get_default_cert_dir_env(), X509_get_default_cert_dir()),
                            X509_FILETYPE_PEM);
    }
    X509_STORE_add_lookup(pStore, BundleOnDemandMethod());
    ERR_clear_error();
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
    // Whole writes: the records of one call leave in one send (see SocketLink).
    SSL_CTX_set_mode(pContext, SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    const char* pszExtraCa = std::getenv("QUILLNET_TLS_CA_FILE");
    if (pszExtraCa && *pszExtraCa && SSL_CTX_load_verify_locations(pContext, pszExtraCa, nullptr) != 1) {
        failure = std::string("TLS: cannot read the CA file '") + pszExtraCa + "': " + OpenSslErrors();
        SSL_CTX_free(pContext);
        return nullptr;
    }
    AddDefaultTrust(SSL_CTX_get_cert_store(pContext));
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
    auto transport = std::make_unique<TlsTransport>(socket, pContext);
    if (!transport->Attach()) {
        failure = "TLS: " + OpenSslErrors();
        return nullptr;
    }
    SSL* pSsl = transport->Session();

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
        if (result == 1) {
            if (transport->SendPending(deadline)) return transport;
            failure = "TLS: handshake timed out";
            return nullptr;
        }
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
