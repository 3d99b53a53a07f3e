// The text of a scan's progress line.
#include "cli/Cli.h"
#include "common/Strings.h"

namespace vx::cli {

namespace {

std::string Duration(double seconds) {
    const long long s = (long long)(seconds + 0.5);
    if (s >= 3600) return Format("%lld:%02lld:%02lld", s / 3600, (s / 60) % 60, s % 60);
    return Format("%lld:%02lld", s / 60, s % 60);
}

}  // namespace

std::string ScanProgressText(const char* what, uint64_t done, uint64_t total, uint64_t bytesPerUnit, double seconds) {
    if (total == 0) return what;
    if (done > total) done = total;
    const double fraction = double(done) / double(total);
    const double bytes = double(done) * double(bytesPerUnit);
    // The first moments measure start-up, not the pace: no speed until then.
    const double rate = seconds >= kMeasuringSeconds && done > 0 ? bytes / seconds : 0;
    std::string text = Format("%s %5.1f%%", what, 100.0 * fraction);
    if (rate > 0) {
        text += Format("  %.1f MB/s", rate / 1e6);
        const double left = (double(total - done) * double(bytesPerUnit)) / rate;
        text += "  " + Duration(left) + " left";
    }
    return text;
}

}  // namespace vx::cli
