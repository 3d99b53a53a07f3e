#pragma once
// What the status bar shows of a running analysis: the percentage of every
// phase whose state has a total (the file-system phase of either file system
// and the sector scan), and for the scan its speed and the time left.
#include <cstdint>
#include <string>

namespace vx {

struct AnalysisState;

class CAnalysisProgress {
public:
    // The bar's value: P/(T/100) for totals of 100 and more, 100*P/T below,
    // at most 100; -1 when the state has no total (the bar shows that it is
    // busy).
    static int Percent(uint64_t total, uint64_t position);

    // The sector scan of a volume whose units are `bytesPerUnit` bytes begins
    // (the "Analyzing drive sectors." status); the rate is measured from here.
    void BeginScan(uint64_t bytesPerUnit);
    // Anything else begins: no rate until the next scan.
    void Reset();

    struct Shown {
        int percent = -1;
        std::string text;  // "42%  512.3 MB/s  0:12 left", or "42%"
    };
    Shown Sample(const AnalysisState& state, double nowSeconds);

private:
    bool scanning_ = false;
    uint64_t bytesPerUnit_ = 512;
    bool haveStart_ = false;
    double startSeconds_ = 0;
    uint64_t startPosition_ = 0;
    uint64_t lastPosition_ = 0;
};

}  // namespace vx
