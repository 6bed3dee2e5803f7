/*
 * quillnet: send Internet mail (SMTP) or post news articles (NNTP) from a
 * host program with one call.
 *
 * A host fills one WRENPOSTDATA job block and calls _Wrenpost() once per
 * message. The call is synchronous: it composes an RFC 822 / MIME message
 * into a temporary file, delivers it, and returns a result code. Calls made
 * from several threads at once are serialised by the library.
 *
 * Usable from C and C++.
 */
#ifndef QUILLNET_WRENPOST_H
#define QUILLNET_WRENPOST_H

#include <stddef.h>
#include <stdint.h>

#ifdef _WIN32
#include <windows.h> /* HGLOBAL and the global-memory calls */
#define QUILLNET_API
#else
#define QUILLNET_API __attribute__((visibility("default")))
/* Handle of a movable memory block (see GlobalAlloc below). */
typedef void* HGLOBAL;
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes of _Wrenpost. Codes 2, 4 and 13 are never produced. */
enum ResultCode {
    RESULT_OK = 0,              /* the message was delivered or posted */
    RESULT_SETUP_FAILED = 1,    /* debug file or address file unusable, Cc/Bcc in news mode,
                                   or a host/user/password too long for the library */
    RESULT_WINSOCK_START = 3,   /* the socket layer could not be started */
    RESULT_NO_SOCKET = 5,       /* no socket could be created */
    RESULT_CONNECT_FAILED = 6,  /* the server could not be reached (also a bad ":port") */
    RESULT_SEND_FAILED = 7,     /* sending to the server failed or timed out */
    RESULT_RECEIVE_FAILED = 8,  /* the server closed, or no reply came in time */
    RESULT_SERVER_ERROR = 9,    /* the server answered with an error; its text is in
                                   SERVERERRORMESSAGE */
    RESULT_NO_LOCAL_HOST = 10,  /* this machine's host name could not be determined */
    RESULT_OUT_OF_MEMORY = 11,  /* memory ran out */
    RESULT_TEMP_FILE = 12,      /* the message could not be composed: no temporary file,
                                   an attachment that cannot be read, a write error */
    RESULT_CANCELLED = 14,      /* the host set *USERCANCEL; nothing was delivered */
    RESULT_NO_RECIPIENTS = 15,  /* TOADR is 0 or holds no whole record */
    RESULT_SOME_RECIPIENTS_REFUSED = 16 /* submission modes: delivered to the accepted recipients;
                                           the refused ones with the server's replies are in
                                           SERVERERRORMESSAGE ("Refused: <addr> 550 ...; ...") */
};

/* Part kinds: how the message text (MESSAGETYPE) or an attachment (FILETYPE) is sent. */
enum PartKind {
    PART_TEXT_RAW = 0,   /* text, text/plain, no transfer encoding */
    PART_TEXT_7BIT = 1,  /* text, text/plain, 7bit */
    PART_TEXT_QP = 2,    /* text, text/plain, quoted-printable */
    PART_RICHTEXT = 3,   /* text, text/richtext, quoted-printable */
    PART_HTML = 4,       /* text, text/html, 7bit; local files it names travel along */
    PART_HTML_FILE = 5,  /* path of an HTML file; 7bit or quoted-printable */
    PART_TEXT = 6,       /* text, text/plain; 7bit or quoted-printable (the usual choice) */
    PART_TEXT_FILE = 7,  /* path of a text file; 7bit or quoted-printable */
    PART_ATTACHMENT = 8  /* path of a file, sent as a base64 attachment */
};

/* SERVERMODE value that selects news posting over NNTP. */
#define WRENPOST_SERVERMODE_NEWS 2

#pragma pack(push, 1)

/* Address record of the TOADR, CCADR and BCCADR blocks: 400 bytes. */
typedef struct WRENPOSTADDRESS {
    char NAME[200];  /* display name, zero-terminated; empty for none */
    char EMAIL[200]; /* address, or "@" and the path of a file of addresses (one a line) */
} WRENPOSTADDRESS;

/* Attachment record of the ATTACHMENTS block: 256 bytes. */
typedef struct WRENPOSTATTACHMENT {
    char FILENAME[255]; /* path of the file, zero-terminated */
    int8_t FILETYPE;    /* PartKind, usually PART_ATTACHMENT */
} WRENPOSTATTACHMENT;

/* Progress procedure: called before the transfer and after every full 1024-byte block. */
typedef void (*WRENPOSTCALLBACKPROC)(void);

/*
 * The job block. Packed, fields in this order. On a 32-bit build it is 88
 * bytes; on a 64-bit build every pointer or handle is 8 bytes wide (172 bytes).
 * For string fields a null pointer and an empty string both mean "not given";
 * a server setting that a job leaves empty keeps the value an earlier job gave.
 */
typedef struct WRENPOSTDATA {
    const char* MAILHOST;          /* server name or IPv4 address, optionally ":port", or an
                                      IPv6 address as "[addr]:port": the classic plain
                                      dialogue; or a URL for a submission mode with TLS:
                                      "smtp+starttls://host[:port]" (587, STARTTLS required),
                                      "smtps://host[:port]" (465, TLS from the first byte),
                                      in news mode "nntps://" (563) or "nntp+starttls://" (119).
                                      The server's certificate is always checked (system
                                      trust store plus the CA file in QUILLNET_TLS_CA_FILE);
                                      a TLS failure gives 6 while connecting, 7 or 8 later,
                                      with the reason in SERVERERRORMESSAGE. In news mode
                                      also the news host */
    const char* MAILER;            /* X-Mailer text (at most 127 characters are kept) */
    const char* FROM;              /* From header, e.g. "\"Ann\" <ann@example.com>" */
    const char* RETURNPATH;        /* sender address (X-Sender, envelope sender) */
    const char* ORGANIZATION;      /* Organization text (at most 127 characters are kept) */
    const char* SUBJECT;           /* Subject header */
    const char* TONAME;            /* whole To header text; To records then add no entries */
    HGLOBAL TOADR;                 /* WRENPOSTADDRESS records (news mode: the newsgroups) */
    HGLOBAL CCADR;                 /* WRENPOSTADDRESS records, or 0 */
    HGLOBAL BCCADR;                /* WRENPOSTADDRESS records (EMAIL only used), or 0 */
    int8_t PRIORITY;               /* 1..5 give an X-Priority header */
    uint8_t SERVERMODE;            /* 2: post news over NNTP; anything else: SMTP mail */
    const char* USERNAME;          /* news mode: user for AUTHINFO (at most 31 characters);
                                      mail with a URL in MAILHOST: user for AUTH (PLAIN or
                                      LOGIN, whichever the server offers, PLAIN first) */
    const char* USERPASSWORD;      /* news mode: password (at most 31 characters); mail with a
                                      URL: password, or "bearer:TOKEN" for XOAUTH2. Never
                                      written to the debug file. */
    const char* MESSAGETEXT;       /* message text, used when MESSAGETEXTHANDLE is 0 */
    HGLOBAL MESSAGETEXTHANDLE;     /* block holding the message text; wins over MESSAGETEXT */
    int8_t MESSAGETYPE;            /* PartKind of the message text */
    HGLOBAL ATTACHMENTS;           /* WRENPOSTATTACHMENT records, or 0 */
    WRENPOSTCALLBACKPROC WRENPOSTCALLBACK; /* progress procedure, or 0 */
    uint8_t OEMTOANSI;             /* non-zero: convert texts from code page 437 to 1252 */
    const char* DEBUGFILE;         /* path of a file that receives the diagnostic log */
    int32_t* BYTESPROCESSED;       /* set to the bytes of the message sent so far */
    int32_t* BYTESTOTAL;           /* set to the size of the message */
    uint8_t* USERCANCEL;           /* host sets *USERCANCEL = 1 to stop the transfer */
    char* SERVERERRORMESSAGE;      /* 500-byte buffer for a server error reply, or 0 */
} WRENPOSTDATA;

#pragma pack(pop)

/* The layout is part of the contract with existing hosts: check it wherever
 * this header is compiled. P is the width of a pointer or handle. */
#ifdef __cplusplus
#define QUILLNET_STATIC_ASSERT(cond, text) static_assert(cond, text)
#else
#define QUILLNET_STATIC_ASSERT(cond, text) _Static_assert(cond, text)
#endif
#define QUILLNET_P ((size_t)sizeof(void*))
#define QUILLNET_CHECK_OFFSET(field, expected) \
    QUILLNET_STATIC_ASSERT(offsetof(WRENPOSTDATA, field) == (expected), "offset of " #field)
QUILLNET_STATIC_ASSERT(sizeof(WRENPOSTADDRESS) == 400, "address record is 400 bytes");
QUILLNET_STATIC_ASSERT(sizeof(WRENPOSTATTACHMENT) == 256, "attachment record is 256 bytes");
QUILLNET_STATIC_ASSERT(offsetof(WRENPOSTATTACHMENT, FILETYPE) == 255, "FILETYPE is the last byte");
QUILLNET_STATIC_ASSERT(sizeof(HGLOBAL) == sizeof(void*) && sizeof(WRENPOSTCALLBACKPROC) == sizeof(void*),
                       "handles and procedures are pointer-sized");
QUILLNET_STATIC_ASSERT(sizeof(void*) != 4 || sizeof(WRENPOSTDATA) == 88, "88 bytes on 32-bit builds");
QUILLNET_STATIC_ASSERT(sizeof(void*) != 8 || sizeof(WRENPOSTDATA) == 172, "172 bytes on 64-bit builds");
QUILLNET_CHECK_OFFSET(MAILHOST, 0);
QUILLNET_CHECK_OFFSET(MAILER, 1 * QUILLNET_P);
QUILLNET_CHECK_OFFSET(FROM, 2 * QUILLNET_P);
QUILLNET_CHECK_OFFSET(RETURNPATH, 3 * QUILLNET_P);
QUILLNET_CHECK_OFFSET(ORGANIZATION, 4 * QUILLNET_P);
QUILLNET_CHECK_OFFSET(SUBJECT, 5 * QUILLNET_P);
QUILLNET_CHECK_OFFSET(TONAME, 6 * QUILLNET_P);
QUILLNET_CHECK_OFFSET(TOADR, 7 * QUILLNET_P);
QUILLNET_CHECK_OFFSET(CCADR, 8 * QUILLNET_P);
QUILLNET_CHECK_OFFSET(BCCADR, 9 * QUILLNET_P);
QUILLNET_CHECK_OFFSET(PRIORITY, 10 * QUILLNET_P);
QUILLNET_CHECK_OFFSET(SERVERMODE, 10 * QUILLNET_P + 1);
QUILLNET_CHECK_OFFSET(USERNAME, 10 * QUILLNET_P + 2);
QUILLNET_CHECK_OFFSET(USERPASSWORD, 11 * QUILLNET_P + 2);
QUILLNET_CHECK_OFFSET(MESSAGETEXT, 12 * QUILLNET_P + 2);
QUILLNET_CHECK_OFFSET(MESSAGETEXTHANDLE, 13 * QUILLNET_P + 2);
QUILLNET_CHECK_OFFSET(MESSAGETYPE, 14 * QUILLNET_P + 2);
QUILLNET_CHECK_OFFSET(ATTACHMENTS, 14 * QUILLNET_P + 3);
QUILLNET_CHECK_OFFSET(WRENPOSTCALLBACK, 15 * QUILLNET_P + 3);
QUILLNET_CHECK_OFFSET(OEMTOANSI, 16 * QUILLNET_P + 3);
QUILLNET_CHECK_OFFSET(DEBUGFILE, 16 * QUILLNET_P + 4);
QUILLNET_CHECK_OFFSET(BYTESPROCESSED, 17 * QUILLNET_P + 4);
QUILLNET_CHECK_OFFSET(BYTESTOTAL, 18 * QUILLNET_P + 4);
QUILLNET_CHECK_OFFSET(USERCANCEL, 19 * QUILLNET_P + 4);
QUILLNET_CHECK_OFFSET(SERVERERRORMESSAGE, 20 * QUILLNET_P + 4);
#undef QUILLNET_CHECK_OFFSET
#undef QUILLNET_P

/*
 * Composes and sends one message. Returns a ResultCode. The three progress
 * pointers are used only when WRENPOSTCALLBACK is set. Nothing in the job is
 * kept after the call returns.
 */
QUILLNET_API int32_t _Wrenpost(WRENPOSTDATA* job);

#ifndef _WIN32
/*
 * Movable memory blocks with the Windows names and behaviour, so hosts written
 * for Windows compile unchanged here.
 */
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u
/* A block of `bytes` bytes (zeroed with GMEM_ZEROINIT), or 0 when memory runs out. */
QUILLNET_API HGLOBAL GlobalAlloc(unsigned flags, size_t bytes);
/* The block's memory; each call adds a lock. Null for a null or unknown handle. */
QUILLNET_API void* GlobalLock(HGLOBAL block);
/* Removes one lock; non-zero while the block is still locked. */
QUILLNET_API int GlobalUnlock(HGLOBAL block);
/* The size asked for at allocation; 0 for an unknown handle. */
QUILLNET_API size_t GlobalSize(HGLOBAL block);
/* Releases the block; null on success, the handle itself when it is unknown. */
QUILLNET_API HGLOBAL GlobalFree(HGLOBAL block);
#endif

#ifdef __cplusplus
}
#endif

#endif /* QUILLNET_WRENPOST_H */
