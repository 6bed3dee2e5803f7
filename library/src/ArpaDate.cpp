// The Date header's text.
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "MailUtil.h"

namespace {

void BreakDown(time_t when, struct tm* pLocal, struct tm* pUtc)
{
#ifdef _WIN32
    localtime_s(pLocal, &when);
    gmtime_s(pUtc, &when);
#else
    localtime_r(&when, pLocal);
    gmtime_r(&when, pUtc);
#endif
}

}  // namespace

std::string arpadate(time_t when)
{
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    struct tm local {};
    struct tm utc {};
    BreakDown(when, &local, &utc);

    // The clock difference alone misses a day boundary between the two
    // (just after local midnight east of UTC), so the date decides that part.
    int nOffset = (local.tm_hour - utc.tm_hour) * 60 + (local.tm_min - utc.tm_min);
    if (local.tm_year != utc.tm_year)
        nOffset += local.tm_year < utc.tm_year ? -1440 : 1440;
    else if (local.tm_yday != utc.tm_yday)
        nOffset += local.tm_yday < utc.tm_yday ? -1440 : 1440;

    char szZone[8] = "GMT";
    if (nOffset != 0) {
        int nAbsolute = std::abs(nOffset);
        if (nAbsolute > 1439) nAbsolute = 1439;
        std::snprintf(szZone, sizeof szZone, "%c%02d%02d", nOffset < 0 ? '-' : '+', nAbsolute / 60,
                      nAbsolute % 60);
    }
    char szDate[64];
    std::snprintf(szDate, sizeof szDate, "%s, %02d %s %04d %02d:%02d:%02d %s", kDays[local.tm_wday % 7],
                  local.tm_mday, kMonths[local.tm_mon % 12], local.tm_year + 1900, local.tm_hour,
                  local.tm_min, local.tm_sec, szZone);
    return szDate;
}
