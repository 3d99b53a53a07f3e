#include "platform/MemorySectorReader.h"

#include <algorithm>
#include <cstring>

namespace vx {

namespace {

class CMemorySectorReader final : public ISectorReader {
public:
    CMemorySectorReader(std::shared_ptr<const std::vector<uint8_t>> bytes, uint64_t claimedSize)
        : bytes_(std::move(bytes)), size_(std::max<uint64_t>(claimedSize, bytes_->size())) {}

    int64_t ReadAt(void* buffer, size_t length, uint64_t position, int* error) override {
        if (position >= size_) return 0;
        const uint64_t count = std::min<uint64_t>(length, size_ - position);
        auto* out = static_cast<uint8_t*>(buffer);
        uint64_t held = 0;
        if (position < bytes_->size()) {
            held = std::min<uint64_t>(count, bytes_->size() - position);
            std::memcpy(out, bytes_->data() + position, held);
        }
        std::memset(out + held, 0, count - held);
        return int64_t(count);
    }

    uint64_t Size() const override { return size_; }

private:
    std::shared_ptr<const std::vector<uint8_t>> bytes_;
    uint64_t size_;
};

}  // namespace

std::unique_ptr<ISectorReader> MakeMemorySectorReader(std::shared_ptr<const std::vector<uint8_t>> bytes,
                                                      uint64_t claimedSize) {
    return std::make_unique<CMemorySectorReader>(std::move(bytes), claimedSize);
}

}  // namespace vx
