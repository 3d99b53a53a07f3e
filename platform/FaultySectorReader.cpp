#include "platform/FaultySectorReader.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace vx {

namespace {

class CFaultySectorReader final : public ISectorReader {
public:
    CFaultySectorReader(std::unique_ptr<ISectorReader> inner, std::shared_ptr<const std::set<uint64_t>> bad,
                        uint64_t failFrom)
        : inner_(std::move(inner)), bad_(std::move(bad)), failFrom_(failFrom) {}

    int64_t ReadAt(void* buffer, size_t length, uint64_t position, int* error) override {
        if (length > 0) {
            const uint64_t first = position / 512, last = (position + length - 1) / 512;
            auto it = bad_->lower_bound(first);
            if ((it != bad_->end() && *it <= last) || last >= failFrom_) {
                if (error) *error = EIO;
                return -1;
            }
        }
        return inner_->ReadAt(buffer, length, position, error);
    }
    uint64_t Size() const override { return inner_->Size(); }
    bool Geometry(DiskGeometry& out) const override { return inner_->Geometry(out); }
    bool LogicalSectorSize(uint32_t& out) const override { return inner_->LogicalSectorSize(out); }
    dev_t DeviceNumber() const override { return inner_->DeviceNumber(); }
    bool IsBlockDevice() const override { return inner_->IsBlockDevice(); }

private:
    std::unique_ptr<ISectorReader> inner_;
    std::shared_ptr<const std::set<uint64_t>> bad_;
    uint64_t failFrom_;
};

}  // namespace

std::unique_ptr<ISectorReader> MakeFaultySectorReader(std::unique_ptr<ISectorReader> inner,
                                                      std::shared_ptr<const std::set<uint64_t>> bad,
                                                      uint64_t failFrom) {
    return std::make_unique<CFaultySectorReader>(std::move(inner), std::move(bad), failFrom);
}

bool ParseSectorList(const std::string& text, std::set<uint64_t>& out) {
    constexpr uint64_t kMaxSectors = 1u << 20;
    std::stringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        char* end = nullptr;
        errno = 0;
        uint64_t first = std::strtoull(item.c_str(), &end, 10);
        if (end == item.c_str() || errno) return false;
        uint64_t last = first;
        if (*end == '-') {
            const char* from = end + 1;
            last = std::strtoull(from, &end, 10);
            if (end == from || errno || last < first) return false;
        }
        if (*end != '\0' || last - first >= kMaxSectors || out.size() + (last - first) >= kMaxSectors) return false;
        for (uint64_t s = first; s <= last; ++s) out.insert(s);
    }
    return !out.empty();
}

void InstallUnreadableSectors(const std::string& path, std::set<uint64_t> bad) {
    auto shared = std::make_shared<const std::set<uint64_t>>(std::move(bad));
    SetSectorReaderFactory([path, shared](const std::string& p, std::string* error) -> std::unique_ptr<ISectorReader> {
        std::unique_ptr<ISectorReader> inner = OpenPosixSectorReader(p, error);
        if (!inner || p != path) return inner;
        return MakeFaultySectorReader(std::move(inner), shared);
    });
}

}  // namespace vx
