#include "common/ScanRate.h"

#include "common/Strings.h"

namespace vx {

ScanRate ComputeScanRate(uint64_t done, uint64_t total, uint64_t bytesPerUnit, double seconds) {
    ScanRate rate;
    if (total == 0) return rate;
    if (done > total) done = total;
    rate.fraction = double(done) / double(total);
    if (seconds >= kMeasuringSeconds && done > 0) {
        rate.bytesPerSecond = double(done) * double(bytesPerUnit) / seconds;
        rate.secondsLeft = double(total - done) * double(bytesPerUnit) / rate.bytesPerSecond;
    }
    return rate;
}

std::string DurationText(double seconds) {
    const long long s = (long long)(seconds + 0.5);
    if (s >= 3600) return Format("%lld:%02lld:%02lld", s / 3600, (s / 60) % 60, s % 60);
    return Format("%lld:%02lld", s / 60, s % 60);
}

std::string ScanRateText(const ScanRate& rate) {
    if (rate.bytesPerSecond <= 0) return {};
    return Format("  %.1f MB/s  %s left", rate.bytesPerSecond / 1e6, DurationText(rate.secondsLeft).c_str());
}

}  // namespace vx
