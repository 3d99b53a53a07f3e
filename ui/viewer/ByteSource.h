#pragma once
// What a hex view shows: a block of bytes addressed by 64-bit offsets. A
// source may be as large as a disk; the view asks only for what it draws.
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>

class QFile;

namespace vx {

class IByteSource {
public:
    virtual ~IByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Copies up to `count` bytes from `offset`; returns the bytes delivered
    // (fewer where the data cannot be read or ends).
    virtual size_t Read(uint64_t offset, uint8_t* out, size_t count) = 0;
    virtual bool Writable() const { return false; }
    // Changes one byte; false when the source is read-only.
    virtual bool Write(uint64_t offset, uint8_t value) { return false; }
    virtual QString Caption() const = 0;
};

// A memory block the caller keeps; edits change it in place.
class CMemoryByteSource : public IByteSource {
public:
    CMemoryByteSource(uint8_t* data, uint64_t size) : data_(data), size_(size) {}
    uint64_t Size() const override { return size_; }
    size_t Read(uint64_t offset, uint8_t* out, size_t count) override;
    bool Writable() const override { return data_ != nullptr; }
    bool Write(uint64_t offset, uint8_t value) override;
    QString Caption() const override;

private:
    uint8_t* data_;
    uint64_t size_;
};

// A file mapped whole for reading and writing; edits go straight into it.
class CMappedFileByteSource : public IByteSource {
public:
    ~CMappedFileByteSource() override;
    // Null when the file cannot be opened or mapped.
    static std::unique_ptr<CMappedFileByteSource> Open(const QString& path);
    uint64_t Size() const override { return size_; }
    size_t Read(uint64_t offset, uint8_t* out, size_t count) override;
    bool Writable() const override { return true; }
    bool Write(uint64_t offset, uint8_t value) override;
    QString Caption() const override { return path_; }

private:
    CMappedFileByteSource() = default;
    std::unique_ptr<QFile> file_;
    uint8_t* map_ = nullptr;
    uint64_t size_ = 0;
    QString path_;
};

}  // namespace vx
