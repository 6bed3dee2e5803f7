// The library's entry point: reads one job block into a mail session and sends it.
#include "quillnet/wrenpost.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "Diagnostics.h"
#include "EntryPoint.h"
#include "Globals.h"
#include "SMTPEmail.h"
#include "SMTPError.h"
#include "ServerAddress.h"
#include "platform/Platform.h"

namespace {

// The library-wide settings persist between calls and are not thread-safe;
// a second host thread waits for the first call to end.
std::mutex g_callMutex;

bool IsGiven(const char* pszText)
{
    return pszText && *pszText;
}

// Copies a setting into its library-wide buffer, cut to the buffer's size.
template <size_t N>
void CopySetting(char (&szSetting)[N], const char* pszValue)
{
    std::strncpy(szSetting, pszValue, N - 1);
    szSetting[N - 1] = '\0';
}

// A value too long for its buffer is refused, not cut: a cut host name or
// password would reach the wrong server or fail there for no visible reason.
template <size_t N>
bool FitsSetting(const char (&)[N], const char* pszValue, const char* pszField)
{
    if (!IsGiven(pszValue) || std::strlen(pszValue) < N) return true;
    Log("_Wrenpost: %s is longer than %d characters. Aborting.\n", pszField, static_cast<int>(N - 1));
    return false;
}

// Holds a movable memory block locked for as long as it is read.
class LockedBlock {
public:
    explicit LockedBlock(HGLOBAL handle) : m_handle(handle)
    {
        if (m_handle) m_pData = static_cast<const char*>(GlobalLock(m_handle));
    }
    ~LockedBlock()
    {
        if (m_pData) GlobalUnlock(m_handle);
    }
    LockedBlock(const LockedBlock&) = delete;
    LockedBlock& operator=(const LockedBlock&) = delete;

    const char* Data() const { return m_pData; }
    size_t Size() const { return m_pData ? GlobalSize(m_handle) : 0; }
    size_t Records(size_t nRecordSize) const { return Size() / nRecordSize; }

private:
    HGLOBAL m_handle;
    const char* m_pData = nullptr;
};

// A record's text field: a host that fills it to the last byte gets no
// terminating zero, so the field's width bounds the read.
std::string FieldText(const char* pField, size_t nWidth)
{
    return std::string(pField, strnlen(pField, nWidth));
}

enum class RecipientKind { To, Cc, Bcc };

void AddRecipients(CSMTPEmail& session, HGLOBAL handle, RecipientKind kind)
{
    LockedBlock block(handle);
    for (size_t i = 0; i < block.Records(sizeof(WRENPOSTADDRESS)); ++i) {
        const auto* pRecord =
            reinterpret_cast<const WRENPOSTADDRESS*>(block.Data() + i * sizeof(WRENPOSTADDRESS));
        std::string name = FieldText(pRecord->NAME, sizeof pRecord->NAME);
        std::string address = FieldText(pRecord->EMAIL, sizeof pRecord->EMAIL);
        switch (kind) {
            case RecipientKind::To:
                session.AddTo(name.c_str(), address.c_str());
                break;
            case RecipientKind::Cc:
                session.AddCc(name.c_str(), address.c_str());
                break;
            case RecipientKind::Bcc:
                session.AddBcc(address.c_str());
                break;
        }
    }
}

void AddMessageText(CSMTPEmail& session, const WRENPOSTDATA& job)
{
    if (job.MESSAGETEXTHANDLE) {
        LockedBlock block(job.MESSAGETEXTHANDLE);
        if (block.Data()) {
            std::string text = FieldText(block.Data(), block.Size());
            session.AddPart(text.c_str(), job.MESSAGETYPE);
        }
    } else if (IsGiven(job.MESSAGETEXT)) {
        session.AddPart(job.MESSAGETEXT, job.MESSAGETYPE);
    }
}

void AddAttachments(CSMTPEmail& session, HGLOBAL handle)
{
    LockedBlock block(handle);
    for (size_t i = 0; i < block.Records(sizeof(WRENPOSTATTACHMENT)); ++i) {
        const auto* pRecord =
            reinterpret_cast<const WRENPOSTATTACHMENT*>(block.Data() + i * sizeof(WRENPOSTATTACHMENT));
        std::string path = FieldText(pRecord->FILENAME, sizeof pRecord->FILENAME);
        session.AddPart(path.c_str(), pRecord->FILETYPE);
    }
}

int32_t RunJob(const WRENPOSTDATA& job)
{
    CSMTPEmail session;

    if (IsGiven(job.DEBUGFILE)) {
        if (!OpenDebugFile(job.DEBUGFILE)) {
            platform::ShowErrorBox("Error creating debug file", "ERROR!");
            return RESULT_SETUP_FAILED;
        }
        g_bVerbose = 1;
    }

    // Checked before any setting changes, so a refused job leaves them all as they were.
    bool bNews = job.SERVERMODE == WRENPOST_SERVERMODE_NEWS;
    if (!FitsSetting(g_szMailHost, job.MAILHOST, "MAILHOST") ||
        (bNews && !FitsSetting(g_szNewsUser, job.USERNAME, "USERNAME")) ||
        (bNews && !FitsSetting(g_szNewsPassword, job.USERPASSWORD, "USERPASSWORD"))) {
        return RESULT_SETUP_FAILED;
    }

    if (job.SERVERERRORMESSAGE) session.m_pszErrorReply = job.SERVERERRORMESSAGE;
    session.m_plBytesProcessed = job.BYTESPROCESSED;
    session.m_plBytesTotal = job.BYTESTOTAL;
    session.m_pbUserCancel = job.USERCANCEL;
    session.m_pfnCallback = job.WRENPOSTCALLBACK;
    session.m_bOemToAnsi = job.OEMTOANSI ? 1 : 0;

    if (IsGiven(job.MAILHOST)) CopySetting(g_szMailHost, job.MAILHOST);
    if (IsGiven(job.RETURNPATH)) session.SetSender(job.RETURNPATH);
    if (IsGiven(job.TONAME)) session.m_pszToText = job.TONAME;
    // The submission modes authenticate with the job's user and password;
    // they are kept for this call only.
    if (!bNews && IsServerUrl(g_szMailHost)) {
        if (IsGiven(job.USERNAME)) session.m_submissionUser = WithoutLineBreaks(job.USERNAME);
        if (IsGiven(job.USERPASSWORD)) session.m_submissionPassword = job.USERPASSWORD;
    }
    if (bNews) {
        if (IsGiven(job.USERNAME)) CopySetting(g_szNewsUser, job.USERNAME);
        if (IsGiven(job.USERPASSWORD)) CopySetting(g_szNewsPassword, job.USERPASSWORD);
        if (IsGiven(job.MAILHOST)) CopySetting(g_szNewsHost, job.MAILHOST);
        session.m_bNewsMode = 1;
    }
    if (IsGiven(job.MAILER)) CopySetting(g_szMailer, job.MAILER);
    if (IsGiven(job.ORGANIZATION)) CopySetting(g_szOrganization, job.ORGANIZATION);
    if (IsGiven(job.SUBJECT)) session.SetSubject(job.SUBJECT);
    if (IsGiven(job.FROM)) session.SetFrom(job.FROM);

    // Without a whole recipient record there is nobody to send to.
    if (!job.TOADR || GlobalSize(job.TOADR) < sizeof(WRENPOSTADDRESS)) return RESULT_NO_RECIPIENTS;

    try {
        AddRecipients(session, job.TOADR, RecipientKind::To);
        if (job.CCADR) AddRecipients(session, job.CCADR, RecipientKind::Cc);
        if (job.BCCADR) AddRecipients(session, job.BCCADR, RecipientKind::Bcc);
        session.SetPriority(job.PRIORITY);
        AddMessageText(session, job);
        if (job.ATTACHMENTS) AddAttachments(session, job.ATTACHMENTS);
    } catch (...) {
        return CurrentFailure().nResult;
    }

    int32_t result = session.Send();
    return NormalisedResult(result);
}

}  // namespace

int32_t NormalisedResult(int32_t result)
{
    // Results from 32001 to 33999 either way are successes to the hosts.
    int64_t nMagnitude = std::llabs(static_cast<int64_t>(result));
    return nMagnitude > 32000 && nMagnitude < 34000 ? 0 : result;
}

extern "C" QUILLNET_API int32_t _Wrenpost(WRENPOSTDATA* job)
{
    std::lock_guard<std::mutex> lock(g_callMutex);
    if (!job) return RESULT_NO_RECIPIENTS;
    try {
        return RunJob(*job);
    } catch (...) {
        // Nothing may cross into the host but a result code.
        return CurrentFailure().nResult;
    }
}
