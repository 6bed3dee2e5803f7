// TLS through the system's own provider (SSPI / Schannel), so quillnet.dll
// ships no TLS library of its own. Schannel only turns records into bytes and
// back: every byte still goes through the bounded socket calls of
// win32/Sockets.cpp, so a stalled handshake, read or write ends after its
// time-out like any other wait of the dialogue.
//
// The provider is asked not to judge the server's certificate
// (SCH_CRED_MANUAL_CRED_VALIDATION): the chain is built and checked here,
// against the Windows store plus the CA file named by QUILLNET_TLS_CA_FILE,
// so that a company or test CA is honoured exactly as on Linux.
#include "platform/Tls.h"

#define SECURITY_WIN32
// SCH_CREDENTIALS and TLS_PARAMETERS are declared only with this (and need
// UNICODE_STRING from subauth.h).
#define SCHANNEL_USE_BLACKLISTS
#include <windows.h>
#include <winsock.h>
#include <security.h>
#include <subauth.h>
#include <schannel.h>
#include <wincrypt.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

// From wininet.h, which is not wanted here for these alone.
#ifndef SECURITY_FLAG_IGNORE_UNKNOWN_CA
#define SECURITY_FLAG_IGNORE_UNKNOWN_CA 0x00000100
#endif
#ifndef SECURITY_FLAG_IGNORE_CERT_CN_INVALID
#define SECURITY_FLAG_IGNORE_CERT_CN_INVALID 0x00001000
#endif

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point DeadlineIn(int seconds)
{
    return Clock::now() + std::chrono::seconds(seconds > 0 ? seconds : 0);
}

// Whole seconds left until `deadline`, rounded up; 0 once it has passed.
int SecondsLeft(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>((left + 999) / 1000);
}

// Sends all of `data` before `deadline`; false on failure or time-out.
bool SendAll(SocketHandle socket, const char* pData, size_t nLength, Clock::time_point deadline)
{
    while (nLength > 0) {
        int seconds = SecondsLeft(deadline);
        if (seconds == 0) return false;
        long nSent = SendSome(socket, pData, nLength, seconds);
        if (nSent < 1) return false;
        pData += nSent;
        nLength -= static_cast<size_t>(nSent);
    }
    return true;
}

std::string Hex(unsigned long value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", value);
    return text;
}

// The system's text for a status, with its number ("... (0x80090326)").
std::string Describe(unsigned long status)
{
    char* pText = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, status, 0, reinterpret_cast<char*>(&pText), 0, nullptr);
    std::string text = length && pText ? std::string(pText, length) : std::string();
    if (pText) LocalFree(pText);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' ||
                             text.back() == '.'))
        text.pop_back();
    return text.empty() ? Hex(status) : text + " (" + Hex(status) + ")";
}

// Output tokens are allocated by the provider (ISC_REQ_ALLOCATE_MEMORY).
struct OutputToken {
    SecBuffer buffer{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc description{SECBUFFER_VERSION, 1, &buffer};
    ~OutputToken()
    {
        if (buffer.pvBuffer) FreeContextBuffer(buffer.pvBuffer);
    }
};

const unsigned long kContextRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                      ISC_REQ_CONFIDENTIALITY | ISC_REQ_EXTENDED_ERROR |
                                      ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                                      ISC_REQ_MANUAL_CRED_VALIDATION;

// ---- trust ----

// The certificates of the CA file, in a memory store of their own.
class CaFileStore {
public:
    CaFileStore() = default;
    CaFileStore(const CaFileStore&) = delete;
    CaFileStore& operator=(const CaFileStore&) = delete;
    ~CaFileStore()
    {
        if (m_store) CertCloseStore(m_store, 0);
    }

    // Reads QUILLNET_TLS_CA_FILE when it is set; false (with the reason in
    // `failure`) when it is set but yields no certificate.
    bool Load(std::string& failure)
    {
        const char* pszPath = std::getenv("QUILLNET_TLS_CA_FILE");
        if (!pszPath || !*pszPath) return true;
        const std::string prefix = std::string("TLS: cannot read the CA file '") + pszPath + "': ";
        std::ifstream file(pszPath, std::ios::binary);
        if (!file) {
            failure = prefix + "cannot open it";
            return false;
        }
        const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        m_store = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr);
        if (!m_store) {
            failure = prefix + Describe(GetLastError());
            return false;
        }
        static const char kBegin[] = "-----BEGIN CERTIFICATE-----";
        static const char kEnd[] = "-----END CERTIFICATE-----";
        size_t count = 0;
        for (size_t begin = text.find(kBegin); begin != std::string::npos; begin = text.find(kBegin, begin)) {
            size_t end = text.find(kEnd, begin);
            if (end == std::string::npos) {
                failure = prefix + "a certificate is not terminated";
                return false;
            }
            end += sizeof kEnd - 1;
            if (!AddPem(text.substr(begin, end - begin))) {
                failure = prefix + "a certificate in it is not valid: " + Describe(GetLastError());
                return false;
            }
            ++count;
            begin = end;
        }
        if (count == 0) {
            failure = prefix + "it holds no certificate";
            return false;
        }
        return true;
    }

    HCERTSTORE Store() const { return m_store; }

    // True when `certificate` is, byte for byte, one of the file's certificates.
    bool Holds(PCCERT_CONTEXT certificate) const
    {
        if (!m_store) return false;
        PCCERT_CONTEXT found = CertFindCertificateInStore(m_store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                                          CERT_FIND_EXISTING, certificate, nullptr);
        if (!found) return false;
        CertFreeCertificateContext(found);
        return true;
    }

private:
    bool AddPem(const std::string& pem)
    {
        DWORD size = 0;
        if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                                  nullptr, &size, nullptr, nullptr))
            return false;
        std::vector<BYTE> der(size);
        if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                                  der.data(), &size, nullptr, nullptr))
            return false;
        PCCERT_CONTEXT certificate =
            CertCreateCertificateContext(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, der.data(), size);
        if (!certificate) return false;
        BOOL added = CertAddCertificateContextToStore(m_store, certificate, CERT_STORE_ADD_USE_EXISTING, nullptr);
        CertFreeCertificateContext(certificate);
        return added != FALSE;
    }

    HCERTSTORE m_store = nullptr;
};

// The reason for a refused certificate, in the words the Linux build uses
// for the same reason.
std::string RefusalReason(unsigned long policyError, PCCERT_CONTEXT leaf)
{
    switch (policyError) {
        case static_cast<unsigned long>(CERT_E_EXPIRED):
            return CertVerifyTimeValidity(nullptr, leaf->pCertInfo) < 0 ? "certificate is not yet valid"
                                                                         : "certificate has expired";
        case static_cast<unsigned long>(CERT_E_CN_NO_MATCH):
            return "hostname mismatch";
        case static_cast<unsigned long>(CERT_E_REVOKED):
            return "certificate revoked";
        case static_cast<unsigned long>(CERT_E_WRONG_USAGE):
            return "unsupported certificate purpose";
        case static_cast<unsigned long>(TRUST_E_CERT_SIGNATURE):
            return "certificate signature failure";
        default:
            return Describe(policyError);
    }
}

// Why a chain that ends in a root nobody trusts is refused, in the Linux
// build's words: the server's own root, or no root at all.
std::string UntrustedRootReason(const CERT_SIMPLE_CHAIN* simple)
{
    const CERT_CHAIN_ELEMENT* top = simple->rgpElement[simple->cElement - 1];
    if (!(top->TrustStatus.dwInfoStatus & CERT_TRUST_IS_SELF_SIGNED) ||
        (simple->TrustStatus.dwErrorStatus & CERT_TRUST_IS_PARTIAL_CHAIN))
        return "unable to get local issuer certificate";
    return simple->cElement == 1 ? "self-signed certificate" : "self-signed certificate in certificate chain";
}

std::wstring Widen(const std::string& text)
{
    int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

// The four bytes of a dotted IPv4 address written in full ("192.0.2.1"), or
// false when `name` is not one.
bool ParseIpv4(const std::string& name, unsigned char (&address)[4])
{
    unsigned parts[4];
    char tail;
    if (std::sscanf(name.c_str(), "%3u.%3u.%3u.%3u%c", &parts[0], &parts[1], &parts[2], &parts[3], &tail) != 4)
        return false;
    for (int i = 0; i < 4; ++i) {
        if (parts[i] > 255) return false;
        address[i] = static_cast<unsigned char>(parts[i]);
    }
    return name.find_first_not_of("0123456789.") == std::string::npos;
}

// Whether the certificate names `address` among its IP entries. A server
// reached by address is judged by those alone, as the Linux build does; the
// system's name check compares host names only.
bool NamesAddress(PCCERT_CONTEXT certificate, const unsigned char (&address)[4])
{
    PCERT_EXTENSION extension = CertFindExtension(szOID_SUBJECT_ALT_NAME2, certificate->pCertInfo->cExtension,
                                                  certificate->pCertInfo->rgExtension);
    if (!extension) return false;
    CERT_ALT_NAME_INFO* pNames = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                             extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &pNames, &size))
        return false;
    bool found = false;
    for (DWORD i = 0; i < pNames->cAltEntry && !found; ++i) {
        const CERT_ALT_NAME_ENTRY& entry = pNames->rgAltEntry[i];
        found = entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && entry.IPAddress.cbData == 4 &&
                std::memcmp(entry.IPAddress.pbData, address, 4) == 0;
    }
    LocalFree(pNames);
    return found;
}

// Checks the server's certificate: a chain to a root the Windows store
// trusts, or to one of the CA file's certificates, valid today and issued
// for `serverName`. "" when it holds, else the reason.
std::string VerifyServer(CtxtHandle& context, const std::string& serverName, const CaFileStore& caFile)
{
    PCCERT_CONTEXT leaf = nullptr;
    SECURITY_STATUS status = QueryContextAttributesA(&context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &leaf);
    if (status != SEC_E_OK || !leaf) return "the server sent no certificate";

    // The chain may pass through the certificates the server sent with its
    // own and end in one of the CA file's: both stores are searched.
    HCERTSTORE extra = CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr);
    if (extra) {
        if (leaf->hCertStore) CertAddStoreToCollection(extra, leaf->hCertStore, 0, 0);
        if (caFile.Store()) CertAddStoreToCollection(extra, caFile.Store(), 0, 0);
    }
    LPSTR serverUsage[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof chainPara;
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = serverUsage;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    BOOL built = CertGetCertificateChain(nullptr, leaf, nullptr, extra, &chainPara, 0, nullptr, &chain);
    if (extra) CertCloseStore(extra, 0);
    if (!built || !chain || chain->cChain == 0 || chain->rgpChain[0]->cElement == 0) {
        std::string reason = "cannot build the certificate chain: " + Describe(GetLastError());
        if (chain) CertFreeCertificateChain(chain);
        CertFreeCertificateContext(leaf);
        return reason;
    }

    // A root the system does not know is trusted only when it is one of the
    // CA file's own certificates, not merely something the server sent.
    const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
    PCCERT_CONTEXT root = simple->rgpElement[simple->cElement - 1]->pCertContext;
    const DWORD chainErrors = chain->TrustStatus.dwErrorStatus;
    const bool rootFromCaFile = (chainErrors & CERT_TRUST_IS_UNTRUSTED_ROOT) && caFile.Holds(root);

    unsigned char address[4];
    const bool byAddress = ParseIpv4(serverName, address);
    std::wstring wideName = Widen(serverName);
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA sslPara{};
    sslPara.cbSize = sizeof sslPara;
    sslPara.dwAuthType = AUTHTYPE_SERVER;
    sslPara.fdwChecks = (rootFromCaFile ? SECURITY_FLAG_IGNORE_UNKNOWN_CA : 0) |
                        (byAddress ? SECURITY_FLAG_IGNORE_CERT_CN_INVALID : 0);
    sslPara.pwszServerName = &wideName[0];
    CERT_CHAIN_POLICY_PARA policyPara{};
    policyPara.cbSize = sizeof policyPara;
    policyPara.dwFlags = rootFromCaFile ? CERT_CHAIN_POLICY_ALLOW_UNKNOWN_CA_FLAG : 0;
    policyPara.pvExtraPolicyPara = &sslPara;
    CERT_CHAIN_POLICY_STATUS policyStatus{};
    policyStatus.cbSize = sizeof policyStatus;
    std::string reason;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policyPara, &policyStatus)) {
        reason = "cannot check the certificate chain: " + Describe(GetLastError());
    } else if (policyStatus.dwError == static_cast<unsigned long>(CERT_E_UNTRUSTEDROOT) ||
               policyStatus.dwError == static_cast<unsigned long>(CERT_E_CHAINING)) {
        reason = UntrustedRootReason(simple);
    } else if (policyStatus.dwError != 0) {
        reason = RefusalReason(policyStatus.dwError, leaf);
    } else if (byAddress && !NamesAddress(leaf, address)) {
        reason = "IP address mismatch";
    } else {
        // The policy was told to overlook an unknown root only; whatever
        // else the chain engine found wrong still refuses it. Revocation is
        // not asked for, so its "unknown" bits do not count.
        const DWORD tolerated = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION |
                                (rootFromCaFile ? CERT_TRUST_IS_UNTRUSTED_ROOT : 0);
        const DWORD left = chainErrors & ~tolerated;
        if (left & CERT_TRUST_IS_NOT_TIME_VALID)
            reason = RefusalReason(static_cast<unsigned long>(CERT_E_EXPIRED), leaf);
        else if (left & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN))
            reason = UntrustedRootReason(simple);
        else if (left & CERT_TRUST_IS_NOT_VALID_FOR_USAGE)
            reason = RefusalReason(static_cast<unsigned long>(CERT_E_WRONG_USAGE), leaf);
        else if (left & CERT_TRUST_IS_REVOKED)
            reason = RefusalReason(static_cast<unsigned long>(CERT_E_REVOKED), leaf);
        else if (left)
            reason = "the certificate chain is not valid (" + Hex(left) + ")";
    }
    CertFreeCertificateChain(chain);
    CertFreeCertificateContext(leaf);
    return reason;
}

// ---- credentials ----

// Outbound credentials for TLS 1.2 and newer, the certificate left to us.
// SCH_CREDENTIALS is what current Windows wants (and the only way to TLS
// 1.3); systems that predate it know SCHANNEL_CRED only.
SECURITY_STATUS AcquireClientCredentials(CredHandle& credentials)
{
    const DWORD flags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
    TimeStamp expiry;

    TLS_PARAMETERS parameters{};
    parameters.grbitDisabledProtocols = static_cast<DWORD>(~(SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT));
    SCH_CREDENTIALS current{};
    current.dwVersion = SCH_CREDENTIALS_VERSION;
    current.dwFlags = flags;
    current.cTlsParameters = 1;
    current.pTlsParameters = &parameters;
    SECURITY_STATUS status =
        AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND, nullptr,
                                  &current, nullptr, nullptr, &credentials, &expiry);
    if (status == SEC_E_OK) return status;

    SCHANNEL_CRED older{};
    older.dwVersion = SCHANNEL_CRED_VERSION;
    older.dwFlags = flags;
    older.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    return AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND, nullptr,
                                     &older, nullptr, nullptr, &credentials, &expiry);
}

bool IsTls12OrNewer(CtxtHandle& context)
{
    SecPkgContext_ConnectionInfo info{};
    if (QueryContextAttributesA(&context, SECPKG_ATTR_CONNECTION_INFO, &info) != SEC_E_OK) return false;
    return (info.dwProtocol & (SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT)) != 0;
}

// ---- the session ----

class SchannelTransport : public Transport {
public:
    SchannelTransport(SocketHandle socket, int shortTimeoutSeconds)
        : m_socket(socket), m_shortTimeoutSeconds(shortTimeoutSeconds)
    {
        SecInvalidateHandle(&m_credentials);
        SecInvalidateHandle(&m_context);
    }
    SchannelTransport(const SchannelTransport&) = delete;
    SchannelTransport& operator=(const SchannelTransport&) = delete;

    ~SchannelTransport() override
    {
        if (m_established && !m_broken && !m_peerClosed) SendCloseNotify();
        if (SecIsValidHandle(&m_context)) DeleteSecurityContext(&m_context);
        if (SecIsValidHandle(&m_credentials)) FreeCredentialsHandle(&m_credentials);
    }

    // Credentials, handshake and certificate check; false with `failure` set.
    bool Start(const std::string& serverName, int timeoutSeconds, std::string& failure)
    {
        CaFileStore caFile;
        if (!caFile.Load(failure)) return false;
        SECURITY_STATUS status = AcquireClientCredentials(m_credentials);
        if (status != SEC_E_OK) {
            SecInvalidateHandle(&m_credentials);
            failure = "TLS: cannot set up TLS: " + Describe(static_cast<unsigned long>(status));
            return false;
        }
        if (!Handshake(serverName, DeadlineIn(timeoutSeconds), failure)) return false;
        if (!IsTls12OrNewer(m_context)) {
            failure = "TLS: handshake failed: the server does not speak TLS 1.2 or newer";
            return false;
        }
        std::string reason = VerifyServer(m_context, serverName, caFile);
        if (!reason.empty()) {
            failure = "TLS: certificate verify failed: " + reason;
            return false;
        }
        status = QueryContextAttributesA(&m_context, SECPKG_ATTR_STREAM_SIZES, &m_sizes);
        if (status != SEC_E_OK) {
            failure = "TLS: handshake failed: " + Describe(static_cast<unsigned long>(status));
            return false;
        }
        m_established = true;
        return true;
    }

    long Send(const char* pData, size_t nLength, int nTimeoutSeconds) override
    {
        if (m_broken || nLength == 0) return -1;
        const size_t nChunk = std::min<size_t>(nLength, m_sizes.cbMaximumMessage);
        std::vector<char> record(m_sizes.cbHeader + nChunk + m_sizes.cbTrailer);
        std::memcpy(record.data() + m_sizes.cbHeader, pData, nChunk);
        SecBuffer buffers[4] = {
            {m_sizes.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
            {static_cast<unsigned long>(nChunk), SECBUFFER_DATA, record.data() + m_sizes.cbHeader},
            {m_sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + m_sizes.cbHeader + nChunk},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
        SECURITY_STATUS status = EncryptMessage(&m_context, 0, &description, 0);
        if (status != SEC_E_OK) {
            Break("TLS: cannot encrypt: " + Describe(static_cast<unsigned long>(status)));
            return -1;
        }
        // The trailer may come out shorter than its room.
        const size_t nRecord = buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
        if (!SendAll(m_socket, record.data(), nRecord, DeadlineIn(nTimeoutSeconds))) {
            // Part of a record on the wire cannot be followed by anything.
            m_broken = true;
            return -1;
        }
        return static_cast<long>(nChunk);
    }

    long Receive(char* pBuffer, size_t nCapacity, int nTimeoutSeconds) override
    {
        const auto deadline = DeadlineIn(nTimeoutSeconds);
        while (m_plainOffset == m_plain.size()) {
            if (m_peerClosed) return 0;
            if (m_broken) return -1;
            if (!m_incoming.empty()) {
                int decrypted = DecryptWaiting();
                if (decrypted < 0) return -1;
                if (decrypted > 0) continue;
            }
            if (!ReadMore(deadline)) return -1;
        }
        const size_t nCopy = std::min(nCapacity, m_plain.size() - m_plainOffset);
        std::memcpy(pBuffer, m_plain.data() + m_plainOffset, nCopy);
        m_plainOffset += nCopy;
        return static_cast<long>(nCopy);
    }

    std::string FailureText() const override { return m_failure; }

private:
    // Appends what the socket has to the encrypted bytes waiting; false on
    // failure, time-out or a connection closed without close_notify (the
    // rest of the stream could have been cut off by anyone).
    bool ReadMore(Clock::time_point deadline)
    {
        int seconds = SecondsLeft(deadline);
        if (seconds == 0) return false;
        char chunk[16384];
        long nReceived = ReceiveSome(m_socket, chunk, sizeof chunk, seconds);
        if (nReceived == 0) {
            Break("TLS: the server closed the connection without close_notify");
            return false;
        }
        if (nReceived < 0) return false;
        m_incoming.insert(m_incoming.end(), chunk, chunk + nReceived);
        return true;
    }

    // Decrypts one record from the front of the waiting bytes. Returns 1
    // when it was decrypted (its plain text, if any, now readable, or the
    // peer's close noted), 0 when the record is not complete yet, -1 when
    // the session broke.
    int DecryptWaiting()
    {
        SecBuffer buffers[4] = {{static_cast<unsigned long>(m_incoming.size()), SECBUFFER_DATA, m_incoming.data()},
                                {0, SECBUFFER_EMPTY, nullptr},
                                {0, SECBUFFER_EMPTY, nullptr},
                                {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
        SECURITY_STATUS status = DecryptMessage(&m_context, &description, 0, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE) return 0;
        if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED) {
            Break("TLS: cannot decrypt: " + Describe(static_cast<unsigned long>(status)));
            return -1;
        }
        // Decryption works in place: the plain text and the bytes of the
        // next record both point into m_incoming, so copy before moving.
        m_plain.clear();
        m_plainOffset = 0;
        std::vector<char> extra;
        for (const SecBuffer& buffer : buffers) {
            const char* pStart = static_cast<const char*>(buffer.pvBuffer);
            if (buffer.BufferType == SECBUFFER_DATA && pStart)
                m_plain.assign(pStart, pStart + buffer.cbBuffer);
            if (buffer.BufferType == SECBUFFER_EXTRA && buffer.cbBuffer > 0)
                extra.assign(m_incoming.end() - buffer.cbBuffer, m_incoming.end());
        }
        m_incoming.swap(extra);
        if (status == SEC_I_CONTEXT_EXPIRED) {
            m_peerClosed = true;
            return 1;
        }
        if (status == SEC_I_RENEGOTIATE && !ContinueAfterRenegotiate()) return -1;
        return 1;
    }

    // A handshake message after the handshake (a TLS 1.3 session ticket or
    // key update): the provider takes it through InitializeSecurityContext.
    // Anything it wants sent goes out at once.
    bool ContinueAfterRenegotiate()
    {
        SecBuffer input[2] = {{static_cast<unsigned long>(m_incoming.size()), SECBUFFER_TOKEN,
                               m_incoming.empty() ? nullptr : m_incoming.data()},
                              {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inputDescription{SECBUFFER_VERSION, 2, input};
        OutputToken output;
        unsigned long attributes = 0;
        SECURITY_STATUS status =
            InitializeSecurityContextA(&m_credentials, &m_context, nullptr, kContextRequest, 0, 0,
                                       &inputDescription, 0, nullptr, &output.description, &attributes, nullptr);
        if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
            Break("TLS: cannot decrypt: " + Describe(static_cast<unsigned long>(status)));
            return false;
        }
        if (input[1].BufferType == SECBUFFER_EXTRA && input[1].cbBuffer > 0)
            m_incoming.erase(m_incoming.begin(), m_incoming.end() - input[1].cbBuffer);
        else
            m_incoming.clear();
        if (output.buffer.cbBuffer > 0 &&
            !SendAll(m_socket, static_cast<const char*>(output.buffer.pvBuffer), output.buffer.cbBuffer,
                     DeadlineIn(m_shortTimeoutSeconds))) {
            m_broken = true;
            return false;
        }
        return true;
    }

    bool Handshake(const std::string& serverName, Clock::time_point deadline, std::string& failure)
    {
        // The target name is what the provider sends for SNI.
        std::vector<char> target(serverName.begin(), serverName.end());
        target.push_back('\0');
        bool first = true;
        for (;;) {
            if (SecondsLeft(deadline) == 0) {
                failure = "TLS: handshake timed out";
                return false;
            }
            SecBuffer input[2] = {{static_cast<unsigned long>(m_incoming.size()), SECBUFFER_TOKEN,
                                   m_incoming.empty() ? nullptr : m_incoming.data()},
                                  {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc inputDescription{SECBUFFER_VERSION, 2, input};
            OutputToken output;
            unsigned long attributes = 0;
            SECURITY_STATUS status = InitializeSecurityContextA(
                &m_credentials, first ? nullptr : &m_context, target.data(), kContextRequest, 0, 0,
                first ? nullptr : &inputDescription, 0, first ? &m_context : nullptr, &output.description,
                &attributes, nullptr);
            if (first && (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED)) first = false;

            if (status == SEC_E_INCOMPLETE_MESSAGE) {
                if (!ReadForHandshake(deadline, failure)) return false;
                continue;
            }
            // Even a failure may come with an alert for the server.
            if (output.buffer.cbBuffer > 0 &&
                !SendAll(m_socket, static_cast<const char*>(output.buffer.pvBuffer), output.buffer.cbBuffer,
                         deadline) &&
                (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED)) {
                failure = SecondsLeft(deadline) == 0 ? "TLS: handshake timed out"
                                                     : "TLS: the server closed the connection during the handshake";
                return false;
            }
            if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED && status != SEC_I_INCOMPLETE_CREDENTIALS) {
                if (first) SecInvalidateHandle(&m_context);
                failure = "TLS: handshake failed: " + Describe(static_cast<unsigned long>(status));
                return false;
            }
            // What the provider did not consume belongs to the next message
            // (or, once done, to the first application records).
            if (!first) {
                if (input[1].BufferType == SECBUFFER_EXTRA && input[1].cbBuffer > 0)
                    m_incoming.erase(m_incoming.begin(), m_incoming.end() - input[1].cbBuffer);
                else if (m_incoming.size() > 0 && status != SEC_I_INCOMPLETE_CREDENTIALS)
                    m_incoming.clear();
            }
            if (status == SEC_E_OK) return true;
            // No client certificate is offered: asked for one, go on without.
            if (status == SEC_I_INCOMPLETE_CREDENTIALS) continue;
            if (m_incoming.empty() && !ReadForHandshake(deadline, failure)) return false;
        }
    }

    bool ReadForHandshake(Clock::time_point deadline, std::string& failure)
    {
        int seconds = SecondsLeft(deadline);
        char chunk[16384];
        long nReceived = seconds > 0 ? ReceiveSome(m_socket, chunk, sizeof chunk, seconds) : -1;
        if (nReceived > 0) {
            m_incoming.insert(m_incoming.end(), chunk, chunk + nReceived);
            return true;
        }
        if (nReceived == 0)
            failure = "TLS: the server closed the connection during the handshake";
        else if (SecondsLeft(deadline) == 0 || LastSocketError() == WSAETIMEDOUT)
            failure = "TLS: handshake timed out";
        else
            failure = "TLS: handshake failed: socket error " + std::to_string(LastSocketError());
        return false;
    }

    // Tells the server the session ends here, so it can tell an orderly
    // close from a cut connection. Best effort: the connection is going.
    void SendCloseNotify()
    {
        DWORD shutdown = SCHANNEL_SHUTDOWN;
        SecBuffer control{sizeof shutdown, SECBUFFER_TOKEN, &shutdown};
        SecBufferDesc controlDescription{SECBUFFER_VERSION, 1, &control};
        if (ApplyControlToken(&m_context, &controlDescription) != SEC_E_OK) return;
        OutputToken output;
        unsigned long attributes = 0;
        SECURITY_STATUS status =
            InitializeSecurityContextA(&m_credentials, &m_context, nullptr, kContextRequest, 0, 0, nullptr, 0,
                                       nullptr, &output.description, &attributes, nullptr);
        if ((status == SEC_E_OK || status == SEC_I_CONTEXT_EXPIRED) && output.buffer.cbBuffer > 0)
            SendAll(m_socket, static_cast<const char*>(output.buffer.pvBuffer), output.buffer.cbBuffer,
                    DeadlineIn(m_shortTimeoutSeconds));
    }

    void Break(const std::string& failure)
    {
        m_broken = true;
        m_failure = failure;
    }

    SocketHandle m_socket;
    int m_shortTimeoutSeconds;  // for the farewell and answers to post-handshake messages
    CredHandle m_credentials;
    CtxtHandle m_context;
    SecPkgContext_StreamSizes m_sizes{};
    std::vector<char> m_incoming;  // received, not yet decrypted
    std::vector<char> m_plain;     // decrypted, not yet handed out
    size_t m_plainOffset = 0;
    bool m_established = false;
    bool m_broken = false;
    bool m_peerClosed = false;
    std::string m_failure;
};

}  // namespace

bool TlsIsBuiltIn()
{
    return true;
}

std::unique_ptr<Transport> StartTls(SocketHandle socket, const std::string& serverName, int timeoutSeconds,
                                    std::string& failure)
{
    // The farewell is a courtesy: a server that takes no more bytes must not
    // hold up the end of the call.
    auto transport = std::make_unique<SchannelTransport>(socket, 2);
    if (!transport->Start(serverName, timeoutSeconds, failure)) return nullptr;
    return transport;
}

}  // namespace platform
