#include "recovery/ProbableSize.h"

#include <algorithm>

#include "device/Volume.h"
#include "recovery/RecoveryJob.h"
#include "signatures/FileTypeDatabase.h"

namespace vx {

CProbableSizes::CProbableSizes(CVolume& volume) : volume_(volume) {
    volume.collection.Visit([&](const FoundObject& r) {
        if (!r.Is(object_flag::Embedded) && !r.IsFolder()) byStart_.emplace_back(r.start, r.type);
    });
    std::sort(byStart_.begin(), byStart_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
}

uint64_t CProbableSizes::TypicalSize(const FoundObject& object) {
    const FileType* type = FileTypes().FindForObject(object);
    return type && type->TypicalSizeKb() > 0 ? uint64_t(type->TypicalSizeKb()) * 1024 : 0;
}

uint64_t CProbableSizes::NextDistance(const FoundObject& object, bool sameType) const {
    auto it = std::upper_bound(byStart_.begin(), byStart_.end(), object.start,
                               [](uint64_t start, const auto& e) { return start < e.first; });
    for (; it != byStart_.end(); ++it)
        if (!sameType || it->second == object.type) return it->first - object.start;
    return 0;
}

ProbableSizeQuestion CProbableSizes::Question(const FoundObject& object) const {
    ProbableSizeQuestion q;
    if (const FileType* type = FileTypes().FindForObject(object)) q.typeName = type->DisplayName();
    q.typicalSize = TypicalSize(object);
    q.nextAnyDistance = NextDistance(object, false);
    q.nextSameDistance = NextDistance(object, true);
    return q;
}

uint64_t ApplySizeRule(const FoundObject& object, uint32_t rule, uint64_t typical,
                       const std::function<uint64_t(bool sameType)>& nextDistance, uint64_t customBytes,
                       uint64_t volumeBytes) {
    uint64_t size = typical;
    switch (rule) {
        case kSizeRuleNextAny:
        case kSizeRuleNextSame:
            if (uint64_t distance = nextDistance(rule == kSizeRuleNextSame)) size = distance;
            break;
        case kSizeRuleCustom:
            size = customBytes;
            break;
        default:
            break;
    }
    // A lost file never reaches past the end of its volume.
    if (volumeBytes > object.start && size > volumeBytes - object.start) size = volumeBytes - object.start;
    return size;
}

uint64_t CProbableSizes::Size(const FoundObject& object, uint32_t rule, uint64_t customBytes) const {
    return ApplySizeRule(
        object, rule, TypicalSize(object), [&](bool sameType) { return NextDistance(object, sameType); },
        customBytes, volume_.totalBytes);
}

}  // namespace vx
