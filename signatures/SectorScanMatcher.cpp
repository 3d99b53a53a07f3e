#include "signatures/SectorScanMatcher.h"

#include "signatures/FastMatcher.h"
#include "signatures/FileTypeDatabase.h"

namespace vx {

CDatabaseScanMatcher::CDatabaseScanMatcher() {
    FileTypes().EnsureLoaded();
    matcher_ = FileTypes().Matcher();
}

CDatabaseScanMatcher::~CDatabaseScanMatcher() = default;

void CDatabaseScanMatcher::MatchAt(ByteSpan block, size_t offset, std::vector<int32_t>& out) const {
    if (matcher_) matcher_->MatchAt(block, offset, out);
}

size_t CDatabaseScanMatcher::FormatCount() const { return matcher_ ? matcher_->FormatCount() : 0; }

}  // namespace vx
