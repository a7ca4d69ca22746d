#include "tools/demo-db/ContentPools.h"

#include <cstdio>

namespace kolvix::demo {

std::string isoDateTime(int days, int minutes)
{
    days += 719468;
    const int era = (days >= 0 ? days : days - 146096) / 146097;
    const int doe = days - era * 146097;
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153;
    const int d = doy - (153 * mp + 2) / 5 + 1;
    const int m = mp + (mp < 10 ? 3 : -9);
    const int y = yoe + era * 400 + (m <= 2);
    const unsigned minute = unsigned(minutes) % (24 * 60);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u:00", y, unsigned(m), unsigned(d), minute / 60,
                  minute % 60);
    return text;
}

} // namespace kolvix::demo
