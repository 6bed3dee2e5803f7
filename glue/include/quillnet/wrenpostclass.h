// WRENPOSTCLASS: the host side of a mail. A host sets one mail's values,
// calls SENDIT, names the result with GETMAILERROR and KILLs the object.
// SENDIT is the only place that calls the library; the lists travel to it as
// movable memory blocks of fixed-size records, the texts in place from the
// object's buffers.
//
// An object belongs to the thread that uses it. Several objects may send at
// once on several threads: the progress procedure of each send reaches its
// own object (sendingOnThisThread()).
#ifndef QUILLNET_WRENPOSTCLASS_H
#define QUILLNET_WRENPOSTCLASS_H

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "quillnet/hostservices.h"
#include "quillnet/wrenpost.h"

namespace quillnet {

class WRENPOSTCLASS {
public:
    // The library's entry point as SENDIT calls it; replaceable so that the
    // marshalling can be checked without delivering anything.
    using LibraryEntry = int32_t (*)(WRENPOSTDATA* job);

    // The memory-block calls the copy operations use (the system's by default).
    struct MemoryCalls {
        HGLOBAL (*alloc)(size_t bytes);  // movable and zero-filled
        void* (*lock)(HGLOBAL block);
        bool (*unlock)(HGLOBAL block);  // true while the block is still locked
        void (*release)(HGLOBAL block);
    };
    static const MemoryCalls systemMemory;

    // Called on the sending thread at every progress call of the library,
    // after the counters were updated and after WRENPOSTCALLBACK; may set
    // USERCANCEL. Anything it throws cancels the transfer and leaves SENDIT.
    using ProgressHandler = std::function<void(WRENPOSTCLASS& sending)>;

    // Messages of the object go to standard error.
    WRENPOSTCLASS();
    // Messages of the object go to `host`, which must outlive the object.
    explicit WRENPOSTCLASS(HostServices& host);
    ~WRENPOSTCLASS();
    WRENPOSTCLASS(const WRENPOSTCLASS&) = delete;
    WRENPOSTCLASS& operator=(const WRENPOSTCLASS&) = delete;

    // Every mail value back to its starting value (the constructor already
    // did this); frees a message block the object owns.
    void INIT();
    // Empties the lists and texts and frees a message block the object owns.
    void KILL();

    // Texts are stored without trailing blanks and cut to their buffer.
    void SETMAILHOST(std::string_view mailHostName);  // "host" or "host:port"
    void SETMAILER(std::string_view mailer);
    void SETFROM(std::string_view fromName);  // the From text as given
    void SETFROM(std::string_view fromName,
                 std::string_view fromAddr);  // "\"name\" <addr>" unless addr is blank; '"' and
                                              // '\\' in the name are escaped
    void SETRETURNPATH(std::string_view returnPath);
    void SETREPLYTO(std::string_view replyTo);  // same field as the return path; the later call wins
    void SETORGANIZATION(std::string_view organization);
    void SETSUBJECT(std::string_view subject);
    void SETTONAME(std::string_view toName);  // whole To header text
    void SETPRIORITY(uint8_t priority);       // 1..5 give an X-Priority header
    void SETDEBUGFILE(std::string_view debugFileName);
    void SETCALLBACK(WRENPOSTCALLBACKPROC callback);  // progress procedure, or nullptr

    // Appends a To record; an address that is blank adds nothing.
    void ADDTO(std::string_view name, std::string_view email);
    // Appends an attachment record; a blank file name adds nothing.
    void ADDATTACHMENT(std::string_view fileName, uint8_t fileType);
    // Copies the text into a block the object owns (an earlier owned block is
    // freed); `type` is the PartKind of the text. When no block could be made
    // the mail goes without a text and MESSAGETYPE keeps its value.
    void SETMESSAGE(std::string_view text, uint8_t type);

    void FREELISTS();  // FREETO, FREECC, FREEBCC, FREEATTACHMENTS
    void FREETO();
    void FREECC();
    void FREEBCC();
    void FREEATTACHMENTS();

    // A movable block holding the records in list order, or 0 for an empty
    // list or a failure (which is shown as a message). The caller frees it.
    HGLOBAL COPYQUEUETOMEMORY(const std::vector<WRENPOSTADDRESS>& list);
    HGLOBAL COPYQUEUETOMEMORY(const std::vector<WRENPOSTATTACHMENT>& list);
    // A movable block of text.size() + 1 bytes holding the text without its
    // trailing blanks, zero-terminated; 0 on failure (shown as a message).
    HGLOBAL COPYSTRINGTOMEMORY(std::string_view text);

    // Sends the mail and returns the result code (a ResultCode; library
    // results above 1000, read as unsigned, count as success and give 0).
    // 15 at once, without calling the library, when TOADR is empty. The
    // object keeps its values, so it can send again.
    int32_t SENDIT();

    // The text for a result code, at most 254 characters; code 9 includes
    // the server's reply from SERVERERRORMESSAGE.
    std::string GETMAILERROR(uint32_t wrenpostErrorCode) const;

    // Not mail values: how this object reaches the library and its host.
    void setProgressHandler(ProgressHandler handler);
    void setLibraryEntry(LibraryEntry entry);
    void setMemoryCalls(const MemoryCalls& calls);
    HostServices& hostServices() const { return *host_; }

    // The object whose SENDIT is running on the calling thread, or nullptr.
    // A progress procedure without arguments finds its object through it.
    static WRENPOSTCLASS* sendingOnThisThread();

    // The mail values, public as hosts have always used them. CCADR, BCCADR,
    // SERVERMODE, USERNAME, USERPASSWORD, MESSAGETEXT, MESSAGETEXTAVAIL and
    // OEMTOANSI are set by no operation; a host sets them directly.
    char MAILHOST[200];
    char MAILER[200];
    char FROM[200];
    char RETURNPATH[200];
    char ORGANIZATION[200];
    char SUBJECT[200];
    std::vector<WRENPOSTADDRESS> TOADR;
    std::vector<WRENPOSTADDRESS> CCADR;
    std::vector<WRENPOSTADDRESS> BCCADR;
    char TONAME[200];
    uint8_t PRIORITY;
    uint8_t SERVERMODE;
    char USERNAME[200];
    char USERPASSWORD[200];
    const char* MESSAGETEXT;  // the host's own text, used while MESSAGETEXTAVAIL is 1
    uint8_t MESSAGETEXTAVAIL;
    HGLOBAL MESSAGETEXTHANDLE;
    uint8_t MESSAGETEXTHANDLEFREE;  // 1: the object owns MESSAGETEXTHANDLE
    uint8_t MESSAGETYPE;
    std::vector<WRENPOSTATTACHMENT> ATTACHMENTS;
    WRENPOSTCALLBACKPROC WRENPOSTCALLBACK;
    uint8_t OEMTOANSI;
    char DEBUGFILE[255];
    char SERVERERRORMESSAGE[500];  // written by the library on a server error
    int32_t BYTESPROCESSED;        // meaningful only during SENDIT
    int32_t BYTESTOTAL;            // meaningful only during SENDIT
    uint8_t USERCANCEL;            // set to 1 during SENDIT to stop the transfer

private:
    static void progressTrampoline();
    void releaseOwnedMessage();
    void showMemoryFailure(const char* text);
    template <typename Record>
    HGLOBAL copyRecords(const std::vector<Record>& list);

    HostServices* host_;
    LibraryEntry entry_;
    MemoryCalls memory_;
    ProgressHandler progressHandler_;
    // A progress procedure that threw: the transfer is cancelled and SENDIT
    // rethrows once the library has returned, never through the library.
    std::exception_ptr progressFailure_;
};

}  // namespace quillnet

#endif
