#include "signatures/sizes/BoundedReader.h"

#include <algorithm>
#include <cstring>

namespace vx {

namespace {
constexpr size_t kWindowSize = 256 * 1024;
constexpr uint64_t kAlign = 512;
constexpr uint64_t kJumpRead = 4096;
}  // namespace

const uint8_t* MemoryByteSource::Direct(uint64_t position, size_t length) {
    if (position > data_.size() || length > data_.size() - position) return nullptr;
    return data_.data() + position;
}

size_t MemoryByteSource::ReadAt(uint64_t position, uint8_t* out, size_t length) {
    if (position >= data_.size()) return 0;
    const size_t n = size_t(std::min<uint64_t>(length, data_.size() - position));
    std::memcpy(out, data_.data() + position, n);
    return n;
}

BoundedReader::BoundedReader(IByteSource& source, uint64_t start, uint64_t limit, std::vector<uint8_t>& window)
    : source_(source), start_(start), limit_(limit), window_(window) {
    if (window_.size() < kWindowSize) window_.resize(kWindowSize);
}

ByteSpan BoundedReader::View(uint64_t offset, size_t length) {
    length = std::min(length, kMaxView);
    if (offset >= limit_) return {};
    length = size_t(std::min<uint64_t>(length, limit_ - offset));
    if (const uint8_t* direct = source_.Direct(start_ + offset, length)) return {direct, length};
    if (offset < windowOffset_ || offset + length > windowOffset_ + windowLength_) {
        // Refill from a sector boundary, so that the volume reads whole sectors.
        const uint64_t misalign = (start_ + offset) % kAlign;
        const uint64_t from = misalign <= offset ? offset - misalign : offset;
        // Reading on from the window's end fills it whole; a jump (a header
        // stepped to by its size) reads only a few sectors.
        const bool sequential = windowLength_ != 0 && offset == windowOffset_ + windowLength_;
        const uint64_t span = sequential ? kWindowSize : std::max<uint64_t>(kJumpRead, offset - from + length);
        const uint64_t wanted = std::min<uint64_t>(std::min<uint64_t>(kWindowSize, span), limit_ - from);
        windowOffset_ = from;
        windowLength_ = source_.ReadAt(start_ + from, window_.data(), size_t(wanted));
        if (offset >= windowOffset_ + windowLength_) return {};
    }
    const size_t at = size_t(offset - windowOffset_);
    return {window_.data() + at, std::min(length, windowLength_ - at)};
}

bool BoundedReader::Read(uint64_t offset, void* out, size_t length) {
    auto* to = static_cast<uint8_t*>(out);
    while (length > 0) {
        ByteSpan part = View(offset, length);
        if (part.empty()) return false;
        std::memcpy(to, part.data(), part.size());
        to += part.size();
        offset += part.size();
        length -= part.size();
    }
    return true;
}

bool BoundedReader::U8(uint64_t offset, uint8_t& v) { return Read(offset, &v, 1); }

bool BoundedReader::Le16(uint64_t offset, uint16_t& v) {
    uint8_t b[2];
    if (!Read(offset, b, 2)) return false;
    v = uint16_t(b[0] | b[1] << 8);
    return true;
}

bool BoundedReader::Le32(uint64_t offset, uint32_t& v) {
    uint8_t b[4];
    if (!Read(offset, b, 4)) return false;
    v = le32(ByteSpan(b, 4), 0);
    return true;
}

bool BoundedReader::Le64(uint64_t offset, uint64_t& v) {
    uint8_t b[8];
    if (!Read(offset, b, 8)) return false;
    v = le64(ByteSpan(b, 8), 0);
    return true;
}

bool BoundedReader::Be16(uint64_t offset, uint16_t& v) {
    uint8_t b[2];
    if (!Read(offset, b, 2)) return false;
    v = uint16_t(b[0] << 8 | b[1]);
    return true;
}

bool BoundedReader::Be32(uint64_t offset, uint32_t& v) {
    uint8_t b[4];
    if (!Read(offset, b, 4)) return false;
    v = uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
    return true;
}

bool BoundedReader::Be64(uint64_t offset, uint64_t& v) {
    uint32_t hi = 0, lo = 0;
    if (!Be32(offset, hi) || !Be32(offset + 4, lo)) return false;
    v = uint64_t(hi) << 32 | lo;
    return true;
}

bool BoundedReader::Equals(uint64_t offset, std::string_view text) {
    uint8_t b[64];
    if (text.size() > sizeof b || !Read(offset, b, text.size())) return false;
    return std::memcmp(b, text.data(), text.size()) == 0;
}

uint64_t BoundedReader::Find(uint64_t from, uint64_t to, std::string_view pattern) {
    if (pattern.empty() || pattern.size() > 64) return kNotFound;
    to = std::min(to, limit_);
    const size_t n = pattern.size();
    const uint8_t first = uint8_t(pattern[0]);
    uint64_t at = from;
    while (at < to && Has(at, n)) {
        // Views overlap by the pattern's length so that no match spans two views.
        ByteSpan part = View(at, kMaxView);
        if (part.size() < n) return kNotFound;
        const size_t span = size_t(std::min<uint64_t>(part.size() - n + 1, to - at));
        const uint8_t* base = part.data();
        size_t i = 0;
        while (i < span) {
            const void* hit = std::memchr(base + i, first, span - i);
            if (!hit) break;
            i = size_t(static_cast<const uint8_t*>(hit) - base);
            if (std::memcmp(base + i, pattern.data(), n) == 0) return at + i;
            ++i;
        }
        at += span;
    }
    return kNotFound;
}

}  // namespace vx
