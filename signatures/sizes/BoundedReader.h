#pragma once
// The reader a structural size rule walks a candidate with: byte offsets from
// the candidate's start, never past a limit (the volume's end, the format's
// ceiling, the look-ahead allowance). Reads go to a byte source: in the scan
// the block in memory first, then the volume's own sector reads.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "common/Bytes.h"

namespace vx {

class IByteSource {
public:
    virtual ~IByteSource() = default;
    // Bytes at absolute `position` already in memory, or null.
    virtual const uint8_t* Direct(uint64_t position, size_t length) { return nullptr; }
    // Copies up to `length` bytes at `position`; returns how many were read.
    virtual size_t ReadAt(uint64_t position, uint8_t* out, size_t length) = 0;
};

// A byte source over memory (tests, the fuzzing harness).
class MemoryByteSource final : public IByteSource {
public:
    explicit MemoryByteSource(ByteSpan data) : data_(data) {}
    const uint8_t* Direct(uint64_t position, size_t length) override;
    size_t ReadAt(uint64_t position, uint8_t* out, size_t length) override;
    uint64_t Size() const { return data_.size(); }

private:
    ByteSpan data_;
};

class BoundedReader {
public:
    static constexpr uint64_t kNotFound = ~uint64_t(0);
    // The most a View may ask for.
    static constexpr size_t kMaxView = 64 * 1024;

    // `start` is the candidate's absolute position, `limit` the bytes from
    // there that may be read. `window` is scratch memory the reader may use.
    BoundedReader(IByteSource& source, uint64_t start, uint64_t limit, std::vector<uint8_t>& window);

    uint64_t Limit() const { return limit_; }
    bool Has(uint64_t offset, uint64_t length) const { return offset <= limit_ && length <= limit_ - offset; }

    // Up to `length` (at most kMaxView) bytes at `offset`: fewer at the limit
    // or where the source cannot be read. Valid until the next call.
    ByteSpan View(uint64_t offset, size_t length);
    // Exactly `length` bytes at `offset`, or false.
    bool Read(uint64_t offset, void* out, size_t length);

    // Fields; false when they lie past the limit or cannot be read.
    bool U8(uint64_t offset, uint8_t& v);
    bool Le16(uint64_t offset, uint16_t& v);
    bool Le32(uint64_t offset, uint32_t& v);
    bool Le64(uint64_t offset, uint64_t& v);
    bool Be16(uint64_t offset, uint16_t& v);
    bool Be32(uint64_t offset, uint32_t& v);
    bool Be64(uint64_t offset, uint64_t& v);
    bool Equals(uint64_t offset, std::string_view text);

    // The first offset in [from, to) where `pattern` starts (whole pattern
    // inside the limit), or kNotFound.
    uint64_t Find(uint64_t from, uint64_t to, std::string_view pattern);

private:
    IByteSource& source_;
    const uint64_t start_;
    const uint64_t limit_;
    std::vector<uint8_t>& window_;
    uint64_t windowOffset_ = 0;  // candidate offset of window_[0]
    size_t windowLength_ = 0;
};

}  // namespace vx
