#pragma once
// The sector scan's view of the file-type database: a snapshot of its fast
// matcher, taken when the scan starts and kept for the whole run, so that a
// format added or edited meanwhile never changes what a running scan reads.
#include <memory>

#include "signatures/SectorScan.h"

namespace vx {

class FastMatcher;

class CDatabaseScanMatcher final : public IScanMatcher {
public:
    // Loads the database first if nothing has loaded it yet.
    CDatabaseScanMatcher();
    ~CDatabaseScanMatcher() override;
    void MatchAt(ByteSpan block, size_t offset, std::vector<int32_t>& out) const override;
    size_t FormatCount() const;

private:
    std::shared_ptr<const FastMatcher> matcher_;
};

}  // namespace vx
