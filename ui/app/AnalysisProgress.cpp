#include "ui/app/AnalysisProgress.h"

#include "common/ScanRate.h"
#include "common/Strings.h"
#include "fs/AnalysisState.h"

namespace vx {

int CAnalysisProgress::Percent(uint64_t total, uint64_t position) {
    if (total == 0) return -1;
    if (position >= total) return 100;
    const uint64_t percent = total >= 100 ? position / (total / 100) : position * 100 / total;
    return int(percent > 100 ? 100 : percent);
}

void CAnalysisProgress::BeginScan(uint64_t bytesPerUnit) {
    Reset();
    scanning_ = true;
    bytesPerUnit_ = bytesPerUnit ? bytesPerUnit : 512;
}

void CAnalysisProgress::Reset() {
    scanning_ = false;
    haveStart_ = false;
    startPosition_ = lastPosition_ = 0;
}

CAnalysisProgress::Shown CAnalysisProgress::Sample(const AnalysisState& state, double now) {
    Shown shown;
    const uint64_t total = state.total.load();
    const uint64_t position = state.progress.load();
    shown.percent = Percent(total, position);
    if (shown.percent < 0) return shown;
    shown.text = Format(LoadString(str::AnalyzingPercent), std::to_string(shown.percent).c_str());
    if (!scanning_ || state.phase.load() != 0) return shown;
    // The rate counts from the first sample of this scan, so a scan that
    // resumes half-way is not credited with the half it skipped.
    if (!haveStart_ || position < lastPosition_) {
        haveStart_ = true;
        startSeconds_ = now;
        startPosition_ = position;
    }
    lastPosition_ = position;
    if (total > startPosition_ && now - startSeconds_ >= 1.0) {
        const ScanRate rate =
            ComputeScanRate(position - startPosition_, total - startPosition_, bytesPerUnit_, now - startSeconds_);
        shown.text += ScanRateText(rate);
    }
    return shown;
}

}  // namespace vx
