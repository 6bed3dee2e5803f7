#include "quillnet/wrenpostclass.h"

#include <string>
#include <utility>

#include "FixedText.h"

namespace quillnet {

namespace {

// The library's progress procedure takes no arguments; this is how it finds
// the object that is sending on its thread. Each thread sees only its own.
thread_local WRENPOSTCLASS* tSendingObject = nullptr;

class SendingScope {
public:
    explicit SendingScope(WRENPOSTCLASS* object) : previous_(tSendingObject) { tSendingObject = object; }
    ~SendingScope() { tSendingObject = previous_; }
    SendingScope(const SendingScope&) = delete;
    SendingScope& operator=(const SendingScope&) = delete;

private:
    WRENPOSTCLASS* previous_;
};

ConsoleHostServices& standardErrorHost()
{
    static ConsoleHostServices host;  // stateless, so sharing it is harmless
    return host;
}

// A quote or backslash in the name would otherwise end the quoted string
// early and turn the rest of the name into an address of its own.
void appendQuotedName(std::string& out, std::string_view name)
{
    out += '"';
    for (char c : name) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    out += '"';
}

}  // namespace

WRENPOSTCLASS::WRENPOSTCLASS() : WRENPOSTCLASS(standardErrorHost()) {}

WRENPOSTCLASS::WRENPOSTCLASS(HostServices& host)
    : MESSAGETEXTHANDLE(nullptr),
      MESSAGETEXTHANDLEFREE(0),
      host_(&host),
      entry_(&_Wrenpost),
      memory_(systemMemory)
{
    INIT();
}

WRENPOSTCLASS::~WRENPOSTCLASS()
{
    KILL();
}

void WRENPOSTCLASS::INIT()
{
    KILL();
    PRIORITY = 3;
    SERVERMODE = 1;
    MESSAGETYPE = PART_TEXT;
    WRENPOSTCALLBACK = nullptr;
    OEMTOANSI = 0;
    storeText(SERVERERRORMESSAGE, sizeof SERVERERRORMESSAGE, {});
    BYTESPROCESSED = 0;
    BYTESTOTAL = 0;
    USERCANCEL = 0;
}

void WRENPOSTCLASS::KILL()
{
    FREELISTS();
    for (auto* list : {&TOADR, &CCADR, &BCCADR}) list->shrink_to_fit();
    ATTACHMENTS.shrink_to_fit();
    releaseOwnedMessage();
    MESSAGETEXTHANDLE = nullptr;
    MESSAGETEXT = nullptr;
    MESSAGETEXTAVAIL = 0;
    for (auto [text, capacity] : {std::pair<char*, size_t>{MAILHOST, sizeof MAILHOST},
                                  {MAILER, sizeof MAILER},
                                  {FROM, sizeof FROM},
                                  {RETURNPATH, sizeof RETURNPATH},
                                  {ORGANIZATION, sizeof ORGANIZATION},
                                  {SUBJECT, sizeof SUBJECT},
                                  {TONAME, sizeof TONAME},
                                  {USERNAME, sizeof USERNAME},
                                  {USERPASSWORD, sizeof USERPASSWORD},
                                  {DEBUGFILE, sizeof DEBUGFILE}}) {
        storeText(text, capacity, {});
    }
}

void WRENPOSTCLASS::releaseOwnedMessage()
{
    if (MESSAGETEXTHANDLE && MESSAGETEXTHANDLEFREE == 1) memory_.release(MESSAGETEXTHANDLE);
    if (MESSAGETEXTHANDLEFREE == 1) MESSAGETEXTHANDLE = nullptr;
    MESSAGETEXTHANDLEFREE = 0;
}

void WRENPOSTCLASS::SETMAILHOST(std::string_view mailHostName)
{
    storeTrimmed(MAILHOST, mailHostName);
}
void WRENPOSTCLASS::SETMAILER(std::string_view mailer)
{
    storeTrimmed(MAILER, mailer);
}
void WRENPOSTCLASS::SETFROM(std::string_view fromName)
{
    storeTrimmed(FROM, fromName);
}

void WRENPOSTCLASS::SETFROM(std::string_view fromName, std::string_view fromAddr)
{
    std::string_view address = withoutTrailingBlanks(fromAddr);
    if (address.empty()) {
        SETFROM(fromName);
        return;
    }
    std::string from;
    from.reserve(fromName.size() + address.size() + 5);
    appendQuotedName(from, withoutTrailingBlanks(fromName));
    from.append(" <").append(address).append(">");
    storeText(FROM, sizeof FROM, from);
}

void WRENPOSTCLASS::SETRETURNPATH(std::string_view returnPath)
{
    storeTrimmed(RETURNPATH, returnPath);
}
void WRENPOSTCLASS::SETREPLYTO(std::string_view replyTo)
{
    storeTrimmed(RETURNPATH, replyTo);
}
void WRENPOSTCLASS::SETORGANIZATION(std::string_view organization)
{
    storeTrimmed(ORGANIZATION, organization);
}
void WRENPOSTCLASS::SETSUBJECT(std::string_view subject)
{
    storeTrimmed(SUBJECT, subject);
}
void WRENPOSTCLASS::SETTONAME(std::string_view toName)
{
    storeTrimmed(TONAME, toName);
}
void WRENPOSTCLASS::SETPRIORITY(uint8_t priority)
{
    PRIORITY = priority;
}
void WRENPOSTCLASS::SETDEBUGFILE(std::string_view debugFileName)
{
    storeTrimmed(DEBUGFILE, debugFileName);
}
void WRENPOSTCLASS::SETCALLBACK(WRENPOSTCALLBACKPROC callback)
{
    WRENPOSTCALLBACK = callback;
}

void WRENPOSTCLASS::ADDTO(std::string_view name, std::string_view email)
{
    if (withoutTrailingBlanks(email).empty()) return;
    WRENPOSTADDRESS record;
    storeTrimmed(record.NAME, name);
    storeTrimmed(record.EMAIL, email);
    TOADR.push_back(record);
}

void WRENPOSTCLASS::ADDATTACHMENT(std::string_view fileName, uint8_t fileType)
{
    if (withoutTrailingBlanks(fileName).empty()) return;
    WRENPOSTATTACHMENT record;
    storeTrimmed(record.FILENAME, fileName);
    record.FILETYPE = static_cast<int8_t>(fileType);
    ATTACHMENTS.push_back(record);
}

void WRENPOSTCLASS::SETMESSAGE(std::string_view text, uint8_t type)
{
    HGLOBAL block = COPYSTRINGTOMEMORY(text);
    // Freeing the block held so far at once keeps a host that sends many
    // mails through one object from holding one block per mail.
    releaseOwnedMessage();
    MESSAGETEXTHANDLE = block;
    if (block) {
        MESSAGETEXTHANDLEFREE = 1;
        MESSAGETYPE = type;
    }
}

void WRENPOSTCLASS::FREELISTS()
{
    FREETO();
    FREECC();
    FREEBCC();
    FREEATTACHMENTS();
}

void WRENPOSTCLASS::FREETO()
{
    TOADR.clear();
}
void WRENPOSTCLASS::FREECC()
{
    CCADR.clear();
}
void WRENPOSTCLASS::FREEBCC()
{
    BCCADR.clear();
}
void WRENPOSTCLASS::FREEATTACHMENTS()
{
    ATTACHMENTS.clear();
}

int32_t WRENPOSTCLASS::SENDIT()
{
    WRENPOSTDATA job{};
    if (TOADR.empty()) return RESULT_NO_RECIPIENTS;

    job.MAILHOST = MAILHOST;
    job.MAILER = MAILER;
    job.FROM = FROM;
    job.RETURNPATH = RETURNPATH;
    job.ORGANIZATION = ORGANIZATION;
    job.SUBJECT = SUBJECT;
    job.TONAME = TONAME;
    job.TOADR = COPYQUEUETOMEMORY(TOADR);
    job.CCADR = COPYQUEUETOMEMORY(CCADR);
    job.BCCADR = COPYQUEUETOMEMORY(BCCADR);
    job.PRIORITY = static_cast<int8_t>(PRIORITY);
    job.SERVERMODE = SERVERMODE;
    job.USERNAME = USERNAME;
    job.USERPASSWORD = USERPASSWORD;
    job.MESSAGETEXT = MESSAGETEXTAVAIL ? MESSAGETEXT : nullptr;
    job.MESSAGETEXTHANDLE = MESSAGETEXTHANDLE;
    job.MESSAGETYPE = static_cast<int8_t>(MESSAGETYPE);
    job.ATTACHMENTS = COPYQUEUETOMEMORY(ATTACHMENTS);
    job.WRENPOSTCALLBACK =
        (WRENPOSTCALLBACK || progressHandler_) ? &WRENPOSTCLASS::progressTrampoline : nullptr;
    job.OEMTOANSI = OEMTOANSI;
    job.DEBUGFILE = DEBUGFILE;
    job.BYTESPROCESSED = &BYTESPROCESSED;
    job.BYTESTOTAL = &BYTESTOTAL;
    job.USERCANCEL = &USERCANCEL;
    job.SERVERERRORMESSAGE = SERVERERRORMESSAGE;

    progressFailure_ = nullptr;
    int32_t result;
    {
        SendingScope scope(this);
        result = entry_(&job);
    }
    if (static_cast<uint32_t>(result) > 1000) result = RESULT_OK;

    for (HGLOBAL block : {job.TOADR, job.CCADR, job.BCCADR, job.ATTACHMENTS}) {
        if (block) memory_.release(block);
    }
    BYTESPROCESSED = 0;
    BYTESTOTAL = 0;
    USERCANCEL = 0;

    if (progressFailure_) {
        std::exception_ptr failure = progressFailure_;
        progressFailure_ = nullptr;
        std::rethrow_exception(failure);
    }
    return result;
}

void WRENPOSTCLASS::progressTrampoline()
{
    WRENPOSTCLASS* self = tSendingObject;
    if (!self || self->progressFailure_) return;
    // Nothing may unwind through the library's frames: a failing procedure
    // stops the transfer instead and its exception leaves through SENDIT.
    try {
        if (self->WRENPOSTCALLBACK) self->WRENPOSTCALLBACK();
        if (self->progressHandler_) self->progressHandler_(*self);
    } catch (...) {
        self->progressFailure_ = std::current_exception();
        self->USERCANCEL = 1;
    }
}

WRENPOSTCLASS* WRENPOSTCLASS::sendingOnThisThread()
{
    return tSendingObject;
}

void WRENPOSTCLASS::setProgressHandler(ProgressHandler handler)
{
    progressHandler_ = std::move(handler);
}
void WRENPOSTCLASS::setLibraryEntry(LibraryEntry entry)
{
    entry_ = entry ? entry : &_Wrenpost;
}
void WRENPOSTCLASS::setMemoryCalls(const MemoryCalls& calls)
{
    memory_ = calls;
}

}  // namespace quillnet
