#pragma once
// Pieces the scanner tests share: a matcher over a few simple prefixes and a
// sink that keeps what it is handed.
#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fs/FoundObject.h"
#include "signatures/SectorScan.h"

namespace vx::test {

struct PrefixFormat {
    int32_t id;
    std::string bytes;   // must stand at the position
    size_t at = 0;
};

class PrefixMatcher final : public IScanMatcher {
public:
    explicit PrefixMatcher(std::vector<PrefixFormat> formats) : formats_(std::move(formats)) {}
    void MatchAt(ByteSpan block, size_t offset, std::vector<int32_t>& out) const override {
        for (const PrefixFormat& f : formats_) {
            if (offset + f.at + f.bytes.size() > block.size()) continue;
            if (std::memcmp(block.data() + offset + f.at, f.bytes.data(), f.bytes.size()) == 0) out.push_back(f.id);
        }
    }
private:
    std::vector<PrefixFormat> formats_;
};

class CollectingSink final : public IScanSink {
public:
    void OnScanFound(std::unique_ptr<FoundObject> candidate) override {
        std::lock_guard lock(mutex_);
        found_.push_back(*candidate);
    }
    std::vector<FoundObject> Sorted() const {
        std::lock_guard lock(mutex_);
        std::vector<FoundObject> out = found_;
        std::sort(out.begin(), out.end(), [](const FoundObject& a, const FoundObject& b) {
            return a.start != b.start ? a.start < b.start : a.type < b.type;
        });
        return out;
    }
    size_t Count() const {
        std::lock_guard lock(mutex_);
        return found_.size();
    }
private:
    mutable std::mutex mutex_;
    std::vector<FoundObject> found_;
};

}  // namespace vx::test
