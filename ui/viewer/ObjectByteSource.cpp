#include "ui/viewer/ObjectByteSource.h"

#include <algorithm>
#include <cstring>

#include "device/Volume.h"

namespace vx {

CObjectByteSource::CObjectByteSource(CVolume& volume, const FoundObject& object) : volume_(volume), object_(object) {
    if (object.IsFolder() || object.IsVolumeNode()) size_ = 0;
    else if (object.SizeKnown()) size_ = object.size;
    else size_ = volume.totalBytes > object.start ? volume.totalBytes - object.start : 0;
}

QString CObjectByteSource::Caption() const {
    return object_.IsVolumeNode() || !object_.name ? QString() : QString::fromUtf8(object_.name);
}

const CObjectByteSource::Page& CObjectByteSource::PageAt(uint64_t index) {
    for (auto it = pages_.begin(); it != pages_.end(); ++it)
        if (it->index == index) {
            pages_.splice(pages_.begin(), pages_, it);
            return pages_.front();
        }
    Page page{index, {}};
    const uint64_t offset = index * kPageBytes;
    const uint32_t want = uint32_t(std::min<uint64_t>(kPageBytes, size_ - offset));
    page.bytes.resize(want);
    const uint32_t got = want ? volume_.ReadObjectData(object_, page.bytes.data(), offset, want) : 0;
    page.bytes.resize(std::min(got, want));
    ++pagesRead_;
    pages_.push_front(std::move(page));
    if (pages_.size() > kPagesKept) pages_.pop_back();
    return pages_.front();
}

size_t CObjectByteSource::Read(uint64_t offset, uint8_t* out, size_t count) {
    size_t done = 0;
    while (done < count && offset + done < size_) {
        const uint64_t at = offset + done;
        const Page& page = PageAt(at / kPageBytes);
        const size_t inner = size_t(at % kPageBytes);
        if (inner >= page.bytes.size()) break;  // unreadable or ended here
        const size_t n = std::min(count - done, page.bytes.size() - inner);
        std::memcpy(out + done, page.bytes.data() + inner, n);
        done += n;
    }
    return done;
}

}  // namespace vx
