#include "fs/FatTime.h"

#include <cstdio>

namespace vx {

namespace {

constexpr uint64_t kTicksPerSecond = 10000000;
constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = int64_t(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

bool IsLeap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

}  // namespace

uint64_t DosDateTimeToFileTime(uint16_t date, uint16_t time) {
    const unsigned day = date & 0x1F, month = (date >> 5) & 0x0F;
    const int64_t year = 1980 + (date >> 9);
    const unsigned seconds = (time & 0x1F) * 2, minutes = (time >> 5) & 0x3F, hours = time >> 11;
    static const unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1) return 0;
    if (day > kDays[month - 1] + (month == 2 && IsLeap(year) ? 1 : 0)) return 0;
    if (hours > 23 || minutes > 59 || seconds > 59) return 0;
    const int64_t unixSeconds = DaysFromCivil(year, month, day) * 86400 + hours * 3600 + minutes * 60 + seconds;
    return uint64_t(unixSeconds + kSecondsFrom1601To1970) * kTicksPerSecond;
}

int64_t FileTimeToUnixSeconds(uint64_t fileTime) {
    return int64_t(fileTime / kTicksPerSecond) - kSecondsFrom1601To1970;
}

std::string FileTimeToIso8601(uint64_t fileTime) {
    if (fileTime == 0) return {};
    const int64_t s = FileTimeToUnixSeconds(fileTime);
    int64_t days = s >= 0 ? s / 86400 : (s - 86399) / 86400;
    const int64_t rest = s - days * 86400;
    int64_t y;
    unsigned m, d;
    CivilFromDays(days, y, m, d);
    char text[48];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02u:%02u:%02u", (long long)y, m, d, unsigned(rest / 3600),
                  unsigned(rest / 60 % 60), unsigned(rest % 60));
    return text;
}

}  // namespace vx
