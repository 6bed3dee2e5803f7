// Entry point (stub until the composition work lands).
#include "quillnet/wrenpost.h"

extern "C" QUILLNET_API int32_t _Wrenpost(WRENPOSTDATA* job)
{
    if (!job || !job->TOADR) return RESULT_NO_RECIPIENTS;
    return RESULT_NO_RECIPIENTS;
}
