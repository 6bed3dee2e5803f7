/*
 * A minimal host: sends one sample mail through _Wrenpost.
 *
 * Usage: send_sample HOST[:PORT] FOLDER
 * FOLDER holds note.txt (the message text), page.html with the picture it
 * shows, and figures.csv (the attachment). The page names its picture
 * relative to FOLDER, so the program works from there.
 */
#include <quillnet/wrenpost.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static int32_t g_processed, g_total;
static uint8_t g_cancel;

static void ShowProgress(void)
{
    printf("\r  sent %ld of %ld bytes", (long)g_processed, (long)g_total);
    fflush(stdout);
}

static char* ReadText(const char* path)
{
    FILE* file = fopen(path, "rb");
    if (!file) return NULL;
    fseek(file, 0, SEEK_END);
    long size = ftell(file);
    rewind(file);
    char* text = calloc((size_t)size + 1, 1);
    if (text && fread(text, 1, (size_t)size, file) != (size_t)size) {
        free(text);
        text = NULL;
    }
    fclose(file);
    return text;
}

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: %s HOST[:PORT] FOLDER\n", argv[0]);
        return 2;
    }
    if (chdir(argv[2]) != 0) {
        perror(argv[2]);
        return 2;
    }
    char* text = ReadText("note.txt");
    if (!text) {
        perror("note.txt");
        return 2;
    }

    HGLOBAL to = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 2 * sizeof(WRENPOSTADDRESS));
    WRENPOSTADDRESS* addresses = GlobalLock(to);
    strcpy(addresses[0].NAME, "Bob Reader");
    strcpy(addresses[0].EMAIL, "bob@example.org");
    strcpy(addresses[1].EMAIL, "carol@example.net");
    GlobalUnlock(to);

    /* The HTML page travels as a part of its own, with its picture as a related part. */
    HGLOBAL attachments = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 2 * sizeof(WRENPOSTATTACHMENT));
    WRENPOSTATTACHMENT* files = GlobalLock(attachments);
    strcpy(files[0].FILENAME, "page.html");
    files[0].FILETYPE = PART_HTML_FILE;
    strcpy(files[1].FILENAME, "figures.csv");
    files[1].FILETYPE = PART_ATTACHMENT;
    GlobalUnlock(attachments);

    char serverError[500] = "";
    WRENPOSTDATA job;
    memset(&job, 0, sizeof job);
    job.MAILHOST = argv[1];
    job.MAILER = "quillnet sample host";
    job.FROM = "\"Ann Sender\" <ann@example.com>";
    job.SUBJECT = "quillnet sample: text, HTML with a picture, an attachment";
    job.TOADR = to;
    job.PRIORITY = 3;
    job.MESSAGETEXT = text;
    job.MESSAGETYPE = PART_TEXT;
    job.ATTACHMENTS = attachments;
    job.WRENPOSTCALLBACK = ShowProgress;
    job.BYTESPROCESSED = &g_processed;
    job.BYTESTOTAL = &g_total;
    job.USERCANCEL = &g_cancel;
    job.SERVERERRORMESSAGE = serverError;

    int32_t result = _Wrenpost(&job);
    printf("\n  _Wrenpost returned %ld%s\n", (long)result, result == RESULT_OK ? " (delivered)" : "");
    if (serverError[0]) printf("  server said: %s", serverError);

    GlobalFree(attachments);
    GlobalFree(to);
    free(text);
    return result == RESULT_OK ? 0 : 1;
}
