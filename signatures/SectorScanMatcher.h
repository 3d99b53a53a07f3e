#pragma once
// The sector scan's view of the file-type database.
#include <cstring>
#include "signatures/SectorScan.h"
namespace vx {
class CDatabaseScanMatcher final : public IScanMatcher {
public:
    void MatchAt(ByteSpan block, size_t offset, std::vector<int32_t>& out) const override {
        ByteSpan b = block.subspan(offset);
        if (b[0] == 0x50 && b[1] == 0x4B) out.push_back(300);
        if (le16(b, 510) == 0xAA55 && b[0] == 0xEB && b[2] == 0x90 && std::memcmp(b.data() + 82, "FAT32", 5) == 0) out.push_back(11);
        if (le16(b, 510) == 0xAA55 && b[0] == 0xEB && b[2] == 0x90 && std::memcmp(b.data() + 54, "FAT16", 5) == 0) out.push_back(4);
    }
    size_t FormatCount() const { return 1; }
};
}
