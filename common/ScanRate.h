#pragma once
// How far, how fast and how long still: the figures of a running scan, shared
// by the command-line progress line and the desktop program's status bar.
#include <cstdint>
#include <string>

namespace vx {

struct ScanRate {
    double fraction = 0;        // 0..1
    double bytesPerSecond = 0;  // 0 while unknown
    double secondsLeft = -1;    // -1 while unknown
};

// The first moments of a scan measure its start-up, not its pace: the speed
// and the time left stay unknown until this much time has passed.
inline constexpr double kMeasuringSeconds = 2.0;

// `done` and `total` units of `bytesPerUnit` bytes, `seconds` since the scan began.
ScanRate ComputeScanRate(uint64_t done, uint64_t total, uint64_t bytesPerUnit, double seconds);
// "0:12", "1:02:03".
std::string DurationText(double seconds);
// "  512.3 MB/s  0:12 left", or "" while the rate is unknown.
std::string ScanRateText(const ScanRate& rate);

}  // namespace vx
