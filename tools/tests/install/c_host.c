/* A C host built against the installed kit: fills a job block with a list
 * block and calls the library once. */
#include <stdio.h>
#include <string.h>

#include <quillnet/wrenpost.h>

int main(void)
{
    WRENPOSTDATA job;
    HGLOBAL cc = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(WRENPOSTADDRESS));
    WRENPOSTADDRESS* record = (WRENPOSTADDRESS*)GlobalLock(cc);
    int32_t result;

    if (!record) return 2;
    strcpy(record->EMAIL, "cc@example.com");
    GlobalUnlock(cc);
    memset(&job, 0, sizeof job);
    job.MAILHOST = "127.0.0.1:1";
    job.CCADR = cc;
    /* No To block: the library must answer 15 without connecting. */
    result = _Wrenpost(&job);
    GlobalFree(cc);
    printf("c host: result %d\n", (int)result);
    return result == RESULT_NO_RECIPIENTS ? 0 : 1;
}
