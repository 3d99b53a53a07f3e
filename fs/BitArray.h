#pragma once
// CBitArray: a bit set, least significant bit first in each byte (the order
// of an NTFS allocation bitmap). A volume's cluster bitmap: bit i set means
// allocation unit i is in use.
#include <cstdint>
#include <vector>

namespace vx {

class CBitArray {
public:
    CBitArray() = default;
    CBitArray(uint64_t bits, bool fill) { SetSize(bits, fill); }
    CBitArray(uint8_t* buffer, uint64_t bits, bool fill) { Init(buffer, bits, fill); }

    // Uses `buffer` (not owned) or, when null, allocates the bytes. Every byte
    // is filled with 0xFF or 0x00. True when there are bytes to use.
    bool Init(uint8_t* buffer, uint64_t bits, bool fill);
    bool SetSize(uint64_t bits, bool fill) { return Init(nullptr, bits, fill); }
    void Set(uint64_t i, bool value) {
        if (i / 8 >= length_ || !data_) return;
        uint8_t mask = uint8_t(1u << (i % 8));
        data_[i / 8] = value ? uint8_t(data_[i / 8] | mask) : uint8_t(data_[i / 8] & ~mask);
    }
    bool Get(uint64_t i) const { return data_ && i / 8 < length_ && (data_[i / 8] >> (i % 8)) & 1; }
    uint64_t Bits() const { return bits_; }
    uint64_t ByteLength() const { return length_; }
    uint8_t* Data() { return data_; }
    const uint8_t* Data() const { return data_; }

private:
    std::vector<uint8_t> owned_;
    uint8_t* data_ = nullptr;
    uint64_t length_ = 0;
    uint64_t bits_ = 0;
};

}  // namespace vx
