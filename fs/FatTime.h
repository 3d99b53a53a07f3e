#pragma once
// FAT's packed local date and time, and Windows file times (100 ns units
// since 1601-01-01), the unit of every time stamp in a found object.
#include <cstdint>
#include <string>

namespace vx {

// 0 when the date is not a valid calendar date (day or month 0, and so on),
// as the system's conversion fails for it.
uint64_t DosDateTimeToFileTime(uint16_t date, uint16_t time);

// Seconds since 1970 of a file time (rounded down), and back.
int64_t FileTimeToUnixSeconds(uint64_t fileTime);
// "2024-03-05T14:07:32" (no zone: FAT times are local), or "" for 0.
std::string FileTimeToIso8601(uint64_t fileTime);

}  // namespace vx
