#pragma once
// The bytes of a found object as recovery reads them (through the volume's
// analyser), loaded page by page as the view asks for them. Read-only.
#include <cstdint>
#include <list>
#include <vector>

#include "fs/FoundObject.h"
#include "ui/viewer/ByteSource.h"

namespace vx {

class CVolume;

class CObjectByteSource : public IByteSource {
public:
    // `object` is copied; its name must stay valid (until the volume's next
    // analysis). A size not known reaches to the end of the volume.
    CObjectByteSource(CVolume& volume, const FoundObject& object);
    uint64_t Size() const override { return size_; }
    size_t Read(uint64_t offset, uint8_t* out, size_t count) override;
    QString Caption() const override;

    static constexpr uint32_t kPageBytes = 64 * 1024;
    static constexpr size_t kPagesKept = 32;
    // Pages read from the volume so far (for tests of the paging).
    uint64_t PagesRead() const { return pagesRead_; }

private:
    struct Page {
        uint64_t index;
        std::vector<uint8_t> bytes;  // fewer than a page where the data ends or could not be read
    };
    const Page& PageAt(uint64_t index);

    CVolume& volume_;
    FoundObject object_;
    uint64_t size_ = 0;
    std::list<Page> pages_;  // most recently used first
    uint64_t pagesRead_ = 0;
};

}  // namespace vx
