#pragma once
// The state of the running analysis, one per process. `running` is the stop
// signal: every long loop of an analysis, a scan or a search checks it, and
// clearing it asks them all to end at their next check.
#include <atomic>
#include <cstdint>

namespace vx {

class CLocalComputer;
class CVolume;

struct AnalysisState {
    std::atomic<int32_t> running{0};
    std::atomic<int32_t> phase{0};        // 1 during a file-system analysis
    std::atomic<uint64_t> total{0};       // units of the running phase
    std::atomic<uint64_t> progress{0};    // units done so far
    std::atomic<uint64_t> startUnit{0};   // first unit of the sector scan
    std::atomic<int32_t> recoveryRunning{0};
    std::atomic<CLocalComputer*> computer{nullptr};
    std::atomic<CVolume*> volume{nullptr};  // the volume whose analysis was started last

    bool Running() const { return running.load(std::memory_order_relaxed) != 0; }
};

// The analysis state of the process.
AnalysisState& TheAnalysisState();

}  // namespace vx
