#include "ui/viewer/ByteSource.h"

#include <QFile>

#include <algorithm>
#include <cstring>

#include "common/Strings.h"

namespace vx {

size_t CMemoryByteSource::Read(uint64_t offset, uint8_t* out, size_t count) {
    if (!data_ || offset >= size_) return 0;
    const size_t n = size_t(std::min<uint64_t>(count, size_ - offset));
    std::memcpy(out, data_ + offset, n);
    return n;
}

bool CMemoryByteSource::Write(uint64_t offset, uint8_t value) {
    if (!data_ || offset >= size_) return false;
    data_[offset] = value;
    return true;
}

QString CMemoryByteSource::Caption() const { return QString::fromUtf8(LoadString(str::MemoryCaption)); }

CMappedFileByteSource::~CMappedFileByteSource() {
    if (file_ && map_) file_->unmap(map_);
}

std::unique_ptr<CMappedFileByteSource> CMappedFileByteSource::Open(const QString& path) {
    std::unique_ptr<CMappedFileByteSource> source(new CMappedFileByteSource);
    source->file_ = std::make_unique<QFile>(path);
    if (!source->file_->open(QIODevice::ReadWrite) || source->file_->size() <= 0) return nullptr;
    source->size_ = uint64_t(source->file_->size());
    source->map_ = source->file_->map(0, qint64(source->size_));
    if (!source->map_) return nullptr;
    source->path_ = path;
    return source;
}

size_t CMappedFileByteSource::Read(uint64_t offset, uint8_t* out, size_t count) {
    if (offset >= size_) return 0;
    const size_t n = size_t(std::min<uint64_t>(count, size_ - offset));
    std::memcpy(out, map_ + offset, n);
    return n;
}

bool CMappedFileByteSource::Write(uint64_t offset, uint8_t value) {
    if (offset >= size_) return false;
    map_[offset] = value;
    return true;
}

}  // namespace vx
