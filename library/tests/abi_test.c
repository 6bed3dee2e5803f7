/* Checks the job block as a C host sees it, through the shared library. Runs
 * on 32-bit builds too, where the block must be exactly 88 bytes. */
#include <stdio.h>
#include <string.h>

#include "quillnet/wrenpost.h"

static int passed, failed;

static void check(int condition, const char* what)
{
    if (condition) {
        ++passed;
    } else {
        ++failed;
        printf("FAILED: %s\n", what);
    }
}

int main(void)
{
    WRENPOSTDATA job;
    HGLOBAL block;
    const size_t p = sizeof(void*);

    if (p == 4) {
        /* The offsets that 32-bit hosts were written against. */
        check(sizeof(WRENPOSTDATA) == 88, "88-byte job block");
        check(offsetof(WRENPOSTDATA, PRIORITY) == 40, "PRIORITY at 40");
        check(offsetof(WRENPOSTDATA, USERNAME) == 42, "USERNAME at 42");
        check(offsetof(WRENPOSTDATA, MESSAGETYPE) == 58, "MESSAGETYPE at 58");
        check(offsetof(WRENPOSTDATA, ATTACHMENTS) == 59, "ATTACHMENTS at 59");
        check(offsetof(WRENPOSTDATA, OEMTOANSI) == 67, "OEMTOANSI at 67");
        check(offsetof(WRENPOSTDATA, DEBUGFILE) == 68, "DEBUGFILE at 68");
        check(offsetof(WRENPOSTDATA, SERVERERRORMESSAGE) == 84, "SERVERERRORMESSAGE at 84");
    } else {
        check(sizeof(WRENPOSTDATA) == 172, "172-byte job block");
        check(offsetof(WRENPOSTDATA, SERVERERRORMESSAGE) == 164, "SERVERERRORMESSAGE at 164");
    }
    check(sizeof(WRENPOSTADDRESS) == 400, "400-byte address record");
    check(sizeof(WRENPOSTATTACHMENT) == 256, "256-byte attachment record");

    /* No recipients: refused before anything is composed. */
    memset(&job, 0, sizeof job);
    check(_Wrenpost(&job) == RESULT_NO_RECIPIENTS, "no TOADR gives 15");

    /* A block smaller than one record holds no recipient either. */
    block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 399);
    check(block != 0 && GlobalSize(block) == 399, "GlobalAlloc and GlobalSize");
    job.TOADR = block;
    check(_Wrenpost(&job) == RESULT_NO_RECIPIENTS, "TOADR without a whole record gives 15");
    check(GlobalLock(block) != 0 && GlobalUnlock(block) == 0, "lock and unlock");
    check(GlobalFree(block) == 0, "GlobalFree");
    check(GlobalLock(block) == 0 && GlobalSize(block) == 0, "a freed handle is unknown");

    printf("%d passed, %d failed\n", passed, failed);
    return failed != 0;
}
