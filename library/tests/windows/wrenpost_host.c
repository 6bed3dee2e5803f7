/*
 * A plain C host of the mail library, as existing Windows hosts use it: it
 * finds _Wrenpost in quillnet.dll by name, fills the job block, passes its
 * lists in movable global memory blocks and reads the result. The same source
 * builds on Linux against libquillnet, so the driver can send the same job
 * from both and compare what the server received.
 *
 *   wrenpost_host <case> <arguments...>
 *
 * Each case checks what can be seen from inside the host (result code, error
 * reply, progress figures, the temporary folder, the message box) and prints
 * "FAILED: ..." lines for what does not hold; the exit status is the number
 * of failures (2 for a usage or loading error). What arrived at the server is
 * the driver's business.
 */
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "quillnet/wrenpost.h"

#ifdef _WIN32
#include <windows.h>
#define PATH_SEPARATOR "\\"
#define CONNECTION_REFUSED 10061 /* WSAECONNREFUSED */
#define LOG_LINE_END "\r\n"      /* the debug file is opened in text mode */
#define PROCESS_ID() GetCurrentProcessId()
#define TICK_COUNT() (unsigned long)GetTickCount()
#else
#include <dirent.h>
#include <errno.h>
#include <unistd.h>
#define PATH_SEPARATOR "/"
#define CONNECTION_REFUSED ECONNREFUSED
#define LOG_LINE_END "\n"
#define PROCESS_ID() getpid()
#define TICK_COUNT() 0ul /* the library's monotonic clock is not reachable from here */
#endif

typedef int32_t (*WrenpostEntry)(WRENPOSTDATA*);

static WrenpostEntry g_wrenpost;
static int g_failures;

static void Check(int condition, const char* format, ...)
{
    va_list args;
    if (condition) return;
    ++g_failures;
    printf("FAILED: ");
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    printf("\n");
}

/* The export by the name that hosts import; a decorated or missing name
 * fails here as it would fail a host at start-up. */
static int LoadEntryPoint(void)
{
#ifdef _WIN32
    HMODULE library = LoadLibraryA("quillnet.dll");
    if (!library) {
        printf("FAILED: LoadLibrary(quillnet.dll), error %lu\n", GetLastError());
        return 0;
    }
    g_wrenpost = (WrenpostEntry)(void (*)(void))GetProcAddress(library, "_Wrenpost");
    if (!g_wrenpost) {
        printf("FAILED: GetProcAddress(_Wrenpost), error %lu\n", GetLastError());
        return 0;
    }
#else
    g_wrenpost = _Wrenpost;
#endif
    return 1;
}

/* ---- list blocks, filled the way host glue fills them ---- */

static HGLOBAL AddressBlock(const char* const* namesAndAddresses, int count)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (size_t)count * sizeof(WRENPOSTADDRESS));
    WRENPOSTADDRESS* records = (WRENPOSTADDRESS*)GlobalLock(block);
    int i;
    for (i = 0; i < count; ++i) {
        strncpy(records[i].NAME, namesAndAddresses[2 * i], sizeof records[i].NAME - 1);
        strncpy(records[i].EMAIL, namesAndAddresses[2 * i + 1], sizeof records[i].EMAIL - 1);
    }
    GlobalUnlock(block);
    return block;
}

static HGLOBAL AttachmentBlock(const char* folder, const char* const* names, const int8_t* kinds, int count)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (size_t)count * sizeof(WRENPOSTATTACHMENT));
    WRENPOSTATTACHMENT* records = (WRENPOSTATTACHMENT*)GlobalLock(block);
    int i;
    for (i = 0; i < count; ++i) {
        snprintf(records[i].FILENAME, sizeof records[i].FILENAME, "%s%s%s", folder, PATH_SEPARATOR, names[i]);
        records[i].FILETYPE = kinds[i];
    }
    GlobalUnlock(block);
    return block;
}

static HGLOBAL TextBlock(const char* text)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, strlen(text) + 1);
    memcpy(GlobalLock(block), text, strlen(text) + 1);
    GlobalUnlock(block);
    return block;
}

/* ---- progress procedure ---- */

static int32_t g_processed, g_total;
static uint8_t g_cancel;
static int g_calls;
static int g_cancelAtCall;          /* 0: never */
static const char* g_watchedFolder; /* folder whose files the first call lists */
static char g_filesAtFirstCall[256];

static void ListFiles(const char* folder, char* out, size_t size)
{
    out[0] = '\0';
#ifdef _WIN32
    {
        char pattern[300];
        WIN32_FIND_DATAA entry;
        HANDLE search;
        snprintf(pattern, sizeof pattern, "%s\\*", folder);
        search = FindFirstFileA(pattern, &entry);
        if (search == INVALID_HANDLE_VALUE) return;
        do {
            if (strcmp(entry.cFileName, ".") && strcmp(entry.cFileName, "..")) {
                strncat(out, entry.cFileName, size - strlen(out) - 2);
                strcat(out, " ");
            }
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
#else
    {
        DIR* directory = opendir(folder);
        struct dirent* entry;
        if (!directory) return;
        while ((entry = readdir(directory)) != NULL) {
            if (strcmp(entry->d_name, ".") && strcmp(entry->d_name, "..")) {
                strncat(out, entry->d_name, size - strlen(out) - 2);
                strcat(out, " ");
            }
        }
        closedir(directory);
    }
#endif
}

static void Progress(void)
{
    ++g_calls;
    if (g_calls == 1 && g_watchedFolder)
        ListFiles(g_watchedFolder, g_filesAtFirstCall, sizeof g_filesAtFirstCall);
    if (g_cancelAtCall && g_calls >= g_cancelAtCall) g_cancel = 1;
}

static void InitJob(WRENPOSTDATA* job, const char* server)
{
    memset(job, 0, sizeof *job);
    job->MAILHOST = server;
    job->WRENPOSTCALLBACK = Progress;
    job->BYTESPROCESSED = &g_processed;
    job->BYTESTOTAL = &g_total;
    job->USERCANCEL = &g_cancel;
}

static void FreeJobBlocks(WRENPOSTDATA* job)
{
    if (job->TOADR) GlobalFree(job->TOADR);
    if (job->CCADR) GlobalFree(job->CCADR);
    if (job->BCCADR) GlobalFree(job->BCCADR);
    if (job->ATTACHMENTS) GlobalFree(job->ATTACHMENTS);
    if (job->MESSAGETEXTHANDLE) GlobalFree(job->MESSAGETEXTHANDLE);
}

/* A job to ann@example.com alone, with `text` as its plain message when given. */
static void InitJobForAnn(WRENPOSTDATA* job, const char* server, const char* text)
{
    static const char* const to[] = {"", "ann@example.com"};

    InitJob(job, server);
    job->TOADR = AddressBlock(to, 1);
    if (text) {
        job->MESSAGETEXT = text;
        job->MESSAGETYPE = PART_TEXT;
    }
}

/* ---- cases ---- */

/* One call before the transfer, then one per full 1024-byte block, each
 * reporting the position after the first byte of the next block. */
static void CheckProgress(const char* name)
{
    const int32_t expectedCalls = g_total > 0 ? 1 + (g_total - 1) / 1024 : 1;
    const int32_t expectedProcessed = expectedCalls > 1 ? (expectedCalls - 1) * 1024 + 1 : 0;
    Check(g_calls == expectedCalls, "%s: %d progress calls for %d bytes, expected %d", name, g_calls,
          (int)g_total, (int)expectedCalls);
    Check(g_processed == expectedProcessed, "%s: last progress figure %d, expected %d", name,
          (int)g_processed, (int)expectedProcessed);
    printf("total=%d calls=%d\n", (int)g_total, g_calls);
}

/* A text part (with OEM letters), an HTML file with a picture, a registered
 * and a binary attachment, to two To and one Cc recipient. */
static void CaseMail(const char* server, const char* folder)
{
    static const char* const to[] = {"Ann Example", "ann@example.com", "", "bob@example.com"};
    static const char* const cc[] = {"Carl", "carl@example.com"};
    static const char* const files[] = {"page.html", "report.qnt", "data.bin"};
    static const int8_t kinds[] = {PART_HTML_FILE, PART_ATTACHMENT, PART_ATTACHMENT};
    /* 0x82, 0x81 and 0x9C are e-acute, u-umlaut and the pound sign in the OEM
     * page: they reach the wire as ANSI =E9, =FC and =A3. */
    static const char text[] =
        "Hello from the test host.\r\n"
        ".A line that begins with a dot.\r\n"
        "Caf\x82, \x81"
        "ber, \x9C"
        "5.\r\n"
        "The end.\r\n";
    char reply[500] = "";
    WRENPOSTDATA job;
    int32_t result;
    unsigned long ticksBefore, ticksAfter;
    time_t started;

    InitJob(&job, server);
    job.FROM = "\"Quill Tester\" <tester@example.com>";
    job.SUBJECT = "Both builds send the same bytes";
    job.MAILER = "quillnet host test";
    job.ORGANIZATION = "Quillnet QA";
    job.PRIORITY = 3;
    job.TOADR = AddressBlock(to, 2);
    job.CCADR = AddressBlock(cc, 1);
    job.MESSAGETEXTHANDLE = TextBlock(text);
    job.MESSAGETYPE = PART_TEXT;
    job.OEMTOANSI = 1;
    job.ATTACHMENTS = AttachmentBlock(folder, files, kinds, 3);
    job.SERVERERRORMESSAGE = reply;

    /* The ids in boundaries and Content-IDs come from the process id, the
     * clock and the tick count: the driver checks them against these. */
    started = time(NULL);
    ticksBefore = TICK_COUNT();
    result = g_wrenpost(&job);
    ticksAfter = TICK_COUNT();
    printf("ids: pid=%lX time=%lX-%lX ticks=%lX-%lX\n", (unsigned long)PROCESS_ID(), (unsigned long)started,
           (unsigned long)time(NULL), ticksBefore, ticksAfter);
    FreeJobBlocks(&job);

    Check(result == RESULT_OK, "mail: result %d, expected 0 (server said '%s')", (int)result, reply);
    Check(g_total > 2048, "mail: total %d bytes, expected a message of several blocks", (int)g_total);
    CheckProgress("mail");
}

/* One large attachment: many full socket buffers, so sends that would
 * block are waited out and resumed. */
static void CaseLarge(const char* server, const char* folder)
{
    static const char* const files[] = {"large.bin"};
    static const int8_t kinds[] = {PART_ATTACHMENT};
    WRENPOSTDATA job;
    int32_t result;

    InitJobForAnn(&job, server, NULL);
    job.ATTACHMENTS = AttachmentBlock(folder, files, kinds, 1);
    result = g_wrenpost(&job);
    FreeJobBlocks(&job);
    Check(result == RESULT_OK, "large: result %d, expected 0", (int)result);
    CheckProgress("large");
}

/* The server refuses at its greeting: result 9 and its reply, the given
 * text with its CR LF, in the buffer. */
static void CaseGreetingError(const char* server, const char* replyText)
{
    char reply[500], expectedReply[500];
    WRENPOSTDATA job;
    int32_t result;

    snprintf(expectedReply, sizeof expectedReply, "%s\r\n", replyText);
    memset(reply, 'x', sizeof reply);
    InitJobForAnn(&job, server, "Never sent.");
    job.SERVERERRORMESSAGE = reply;
    result = g_wrenpost(&job);
    FreeJobBlocks(&job);

    Check(result == RESULT_SERVER_ERROR, "greeting-error: result %d, expected 9", (int)result);
    Check(memchr(reply, '\0', sizeof reply) != NULL && strcmp(reply, expectedReply) == 0,
          "greeting-error: reply buffer '%.499s', expected '%s'", reply, expectedReply);
    Check(g_calls == 0, "greeting-error: %d progress calls before any transfer", g_calls);
}

/* The server accepts the connection and never answers: with QUILLNET_TIMEOUT
 * at 2 s the call gives up with result 8 instead of waiting for ever. */
static void CaseSilent(const char* server)
{
    WRENPOSTDATA job;
    int32_t result;
    time_t started = time(NULL);
    long seconds;

    InitJobForAnn(&job, server, "Never sent.");
    result = g_wrenpost(&job);
    FreeJobBlocks(&job);
    seconds = (long)(time(NULL) - started);

    Check(result == RESULT_RECEIVE_FAILED, "silent: result %d, expected 8", (int)result);
    Check(seconds >= 1 && seconds <= 10, "silent: gave up after %ld s, expected about 2", seconds);
}

/* Nobody listens: result 6 and the log line with the socket layer's error. */
static void CaseRefused(const char* server, const char* debugFile)
{
    char expected[200], log[4096];
    const char* colon = strrchr(server, ':');
    size_t length;
    FILE* file;
    WRENPOSTDATA job;
    int32_t result;

    InitJobForAnn(&job, server, "Never sent.");
    job.DEBUGFILE = debugFile;
    result = g_wrenpost(&job);
    FreeJobBlocks(&job);

    Check(result == RESULT_CONNECT_FAILED, "refused: result %d, expected 6", (int)result);
    snprintf(expected, sizeof expected,
             "Failed to connect to server '%.*s' port %s. Winsock error: %d" LOG_LINE_END,
             (int)(colon - server), server, colon + 1, CONNECTION_REFUSED);
    file = fopen(debugFile, "rb");
    length = file ? fread(log, 1, sizeof log - 1, file) : 0;
    log[length] = '\0';
    if (file) fclose(file);
    Check(strstr(log, expected) != NULL, "refused: debug file lacks the line '%s'; it holds:\n%s", expected,
          log);
}

/* The host cancels at the first block's progress call: result 14. The driver
 * has put a folder named "~mail1" into MAIL_TEMP, so the temporary message
 * file must be "~mail2" beside it, and gone afterwards. */
static void CaseCancel(const char* server, const char* tempFolder)
{
    static const char filler[] = "A line that makes the message several blocks long.\r\n";
    char text[8192], filesAfter[256];
    WRENPOSTDATA job;
    int32_t result;
    size_t i;

    for (i = 0; i + sizeof filler <= sizeof text; i += sizeof filler - 1)
        memcpy(text + i, filler, sizeof filler - 1);
    text[i] = '\0';

    g_watchedFolder = tempFolder;
    g_cancelAtCall = 2;
    InitJobForAnn(&job, server, NULL);
    job.MESSAGETEXT = text;
    job.MESSAGETYPE = PART_TEXT_7BIT;
    result = g_wrenpost(&job);
    FreeJobBlocks(&job);

    ListFiles(tempFolder, filesAfter, sizeof filesAfter);
    Check(result == RESULT_CANCELLED, "cancel: result %d, expected 14", (int)result);
    Check(g_calls == 2, "cancel: %d progress calls, expected 2 (before the transfer, first block)", g_calls);
    Check(strstr(g_filesAtFirstCall, "~mail2 ") != NULL && strlen(g_filesAtFirstCall) == 14,
          "cancel: temporary folder held '%s' during the transfer, expected ~mail1 and ~mail2",
          g_filesAtFirstCall);
    Check(strcmp(filesAfter, "~mail1 ") == 0, "cancel: temporary folder holds '%s' afterwards", filesAfter);
}

#ifdef _WIN32
/* Watches for the library's message box, checks it and presses OK. */
static char g_boxReport[512];

static BOOL CALLBACK NoteChild(HWND window, LPARAM counts)
{
    char className[64], text[256];
    int* count = (int*)counts;
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, text, sizeof text);
    if (!strcmp(className, "Button")) {
        ++count[0];
        if (!strcmp(text, "OK")) ++count[1];
    } else if (!strcmp(text, "Error creating debug file")) {
        ++count[2];
    }
    return TRUE;
}

static DWORD WINAPI WatchForBox(LPVOID unused)
{
    int tries;
    (void)unused;
    for (tries = 0; tries < 400; ++tries) {
        HWND box = FindWindowA(NULL, "ERROR!");
        if (box) {
            int counts[3] = {0, 0, 0}; /* buttons, OK buttons, text statics */
            Sleep(100);                /* let the box finish laying out */
            EnumChildWindows(box, NoteChild, (LPARAM)counts);
            snprintf(g_boxReport, sizeof g_boxReport, "owner=%s buttons=%d ok=%d text=%d",
                     GetWindow(box, GW_OWNER) ? "yes" : "none", counts[0], counts[1], counts[2]);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            return 0;
        }
        Sleep(50);
    }
    /* No box with that caption: a box with another caption would block the
     * run for ever, so give up at once. */
    printf("FAILED: debugfile: no window captioned 'ERROR!' within 20 s\n");
    fflush(stdout);
    ExitProcess(1);
    return 0;
}
#endif

/* A debug file that cannot be created: the message box and result 1. */
static void CaseDebugFile(const char* server, const char* debugFile)
{
    WRENPOSTDATA job;
    int32_t result;
#ifdef _WIN32
    /* Without a display the box cannot be shown and only the result is seen. */
    const int watch = getenv("DISPLAY") != NULL;
    HANDLE watcher = watch ? CreateThread(NULL, 0, WatchForBox, NULL, 0, NULL) : NULL;
#endif

    InitJobForAnn(&job, server, "Never sent.");
    job.DEBUGFILE = debugFile;
    result = g_wrenpost(&job);
    FreeJobBlocks(&job);

    Check(result == RESULT_SETUP_FAILED, "debugfile: result %d, expected 1", (int)result);
    Check(g_calls == 0, "debugfile: %d progress calls, expected none", g_calls);
#ifdef _WIN32
    if (watcher) {
        WaitForSingleObject(watcher, INFINITE);
        CloseHandle(watcher);
        Check(strcmp(g_boxReport, "owner=none buttons=1 ok=1 text=1") == 0,
              "debugfile: message box %s, expected no owner, one OK button and the text", g_boxReport);
        printf("box: %s\n", g_boxReport);
    } else {
        printf("box: not watched (no display)\n");
    }
#endif
}

/* Attachments whose content types come from the registry: one plain, one
 * with a parameter, one too long for the 64-byte buffer. */
static void CaseRegistry(const char* server, const char* folder)
{
    static const char* const files[] = {"report.qnt", "notes.qnp", "long.qnl"};
    static const int8_t kinds[] = {PART_ATTACHMENT, PART_ATTACHMENT, PART_ATTACHMENT};
    WRENPOSTDATA job;
    int32_t result;

    InitJobForAnn(&job, server, "Three registered attachments.\r\n");
    job.ATTACHMENTS = AttachmentBlock(folder, files, kinds, 3);
    result = g_wrenpost(&job);
    FreeJobBlocks(&job);
    Check(result == RESULT_OK, "registry: result %d, expected 0", (int)result);
}

/* A job in a submission mode (a URL in MAILHOST) with the test login: to the
 * comma-separated `recipients`, with `attachment` when it is not "-". The
 * result must be `expected`; the server's or the TLS layer's text is
 * printed for the driver, which checks what arrived. With `news` the job
 * posts an article to the newsgroups in `recipients` instead. */
static void CaseSubmit(const char* server, const char* expected, const char* recipients,
                       const char* attachment, int news)
{
    static char names[8][2][128];
    const char* list[16];
    char reply[500] = "";
    int count = 0;
    const char* cursor = recipients;
    WRENPOSTDATA job;
    int32_t result;
    time_t started;

    while (*cursor && count < 8) {
        const char* comma = strchr(cursor, ',');
        size_t length = comma ? (size_t)(comma - cursor) : strlen(cursor);
        snprintf(names[count][1], sizeof names[count][1], "%.*s", (int)length, cursor);
        names[count][0][0] = '\0';
        list[2 * count] = names[count][0];
        list[2 * count + 1] = names[count][1];
        ++count;
        cursor += length + (comma ? 1 : 0);
    }

    InitJob(&job, server);
    job.FROM = "\"Quill Tester\" <tester@example.com>";
    job.SUBJECT = "Submitted over TLS";
    job.MAILER = "quillnet host test";
    job.TOADR = AddressBlock(list, count);
    job.MESSAGETEXT = "Hello over TLS.\r\n.A dotted line.\r\nThe end.\r\n";
    job.MESSAGETYPE = PART_TEXT;
    job.USERNAME = "ann";
    job.USERPASSWORD = "c0rrect horse";
    job.SERVERERRORMESSAGE = reply;
    if (strcmp(attachment, "-") != 0) {
        static const int8_t kinds[] = {PART_ATTACHMENT};
        const char* separator = strrchr(attachment, PATH_SEPARATOR[0]);
        char folder[300];
        const char* file = separator ? separator + 1 : attachment;
        snprintf(folder, sizeof folder, "%.*s", separator ? (int)(separator - attachment) : 1,
                 separator ? attachment : ".");
        job.ATTACHMENTS = AttachmentBlock(folder, &file, kinds, 1);
    }
    if (news) job.SERVERMODE = WRENPOST_SERVERMODE_NEWS;
    started = time(NULL);
    result = g_wrenpost(&job);
    FreeJobBlocks(&job);
    printf("result=%d reply=%s\n", (int)result, reply);
    /* Whole seconds of wall time: enough to tell a bounded wait from a hang. */
    printf("seconds=%ld\n", (long)(time(NULL) - started));
    Check(result == atoi(expected), "submit: result %d, expected %s (reply '%s')", (int)result, expected, reply);
}

int main(int argc, char** argv)
{
    const char* name = argc > 1 ? argv[1] : "";

    setvbuf(stdout, NULL, _IONBF, 0);
    if (argc < 4) {
        printf(
            "usage: wrenpost_host mail|large|greeting-error|silent|refused|cancel|debugfile|registry "
            "<host:port> <argument>\n"
            "       wrenpost_host submit|post <url> <expected result> <to,to...|groups> <attachment|->\n");
        return 2;
    }
    if (!LoadEntryPoint()) return 2;

    if (!strcmp(name, "mail")) {
        CaseMail(argv[2], argv[3]);
    } else if (!strcmp(name, "large")) {
        CaseLarge(argv[2], argv[3]);
    } else if (!strcmp(name, "greeting-error")) {
        CaseGreetingError(argv[2], argv[3]);
    } else if (!strcmp(name, "silent")) {
        CaseSilent(argv[2]);
    } else if (!strcmp(name, "refused")) {
        CaseRefused(argv[2], argv[3]);
    } else if (!strcmp(name, "cancel")) {
        CaseCancel(argv[2], argv[3]);
    } else if (!strcmp(name, "debugfile")) {
        CaseDebugFile(argv[2], argv[3]);
    } else if (!strcmp(name, "registry")) {
        CaseRegistry(argv[2], argv[3]);
    } else if (!strcmp(name, "submit") && argc >= 6) {
        CaseSubmit(argv[2], argv[3], argv[4], argv[5], 0);
    } else if (!strcmp(name, "post") && argc >= 6) {
        CaseSubmit(argv[2], argv[3], argv[4], argv[5], 1);
    } else {
        printf("unknown case '%s'\n", name);
        return 2;
    }
    printf("%s: %s\n", name, g_failures ? "FAILED" : "ok");
    return g_failures;
}
