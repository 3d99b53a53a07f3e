// The text of a scan's progress line.
#include "cli/Cli.h"
#include "common/ScanRate.h"
#include "common/Strings.h"

namespace vx::cli {

std::string ScanProgressText(const char* what, uint64_t done, uint64_t total, uint64_t bytesPerUnit, double seconds) {
    if (total == 0) return what;
    const ScanRate rate = ComputeScanRate(done, total, bytesPerUnit, seconds);
    return Format("%s %5.1f%%", what, 100.0 * rate.fraction) + ScanRateText(rate);
}

}  // namespace vx::cli
