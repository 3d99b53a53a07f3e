// Compound documents: the stream-name classification over the input itself,
// and the classification of a candidate at the start of a volume holding the
// input (header fields, the directory's position and its read).
#include <cstddef>
#include <cstdint>

#include "device/Volume.h"
#include "fs/FoundObject.h"
#include "fuzz/support/FuzzSupport.h"
#include "signatures/CompoundDocument.h"

using namespace vx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Setup();
    const fuzz::Frame frame = fuzz::ParseFrame(data, size);
    const int32_t kind = ClassifyStreams(ByteSpan(frame.image->data(), frame.image->size()));
    fuzz::Require(kind >= compound_id::Storage && kind <= compound_id::Flash, "an unknown document kind");
    if (std::unique_ptr<CVolume> volume = fuzz::OpenMemoryVolume(frame)) {
        FoundObject candidate;
        candidate.flags = object_flag::FoundByContent;
        candidate.type = int16_t(compound_id::Storage);
        candidate.size = kSizeUnknown;
        const size_t headerSize = std::min<size_t>(frame.image->size(), kSectorSize);
        const int32_t id = ClassifyCompound(*volume, candidate, ByteSpan(frame.image->data(), headerSize));
        fuzz::Require(id == 0 || (id >= compound_id::Storage && id <= compound_id::Flash), "an unknown document kind");
    }
    fuzz::EndInput();
    return 0;
}
