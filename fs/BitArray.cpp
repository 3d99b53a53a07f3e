#include "fs/BitArray.h"

#include <cstring>

namespace vx {

bool CBitArray::Init(uint8_t* buffer, uint64_t bits, bool fill) {
    owned_.clear();
    owned_.shrink_to_fit();
    length_ = (bits + 7) / 8;
    bits_ = length_ * 8;
    if (buffer) {
        data_ = buffer;
    } else {
        owned_.resize(length_);
        data_ = owned_.empty() ? nullptr : owned_.data();
    }
    if (data_) std::memset(data_, fill ? 0xFF : 0x00, length_);
    return data_ != nullptr && length_ != 0;
}

}  // namespace vx
