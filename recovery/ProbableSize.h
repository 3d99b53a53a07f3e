#pragma once
// The candidate sizes of a file whose size is not known: the typical size of
// its file type, and the distances to the next found object of any type and
// of the same type. Used by the size question of a recovery run and by the
// Set New Size command, which applies a chosen rule to many objects.
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "common/Notifier.h"
#include "fs/FoundObject.h"

namespace vx {

class CVolume;

// The size a rule gives a file found by content: `typical` for the typical-size
// rule (and when no next file follows), `nextDistance(sameType)` for the
// next-file rules, `customBytes` for the custom rule; never past the volume's
// `volumeBytes`.
uint64_t ApplySizeRule(const FoundObject& object, uint32_t rule, uint64_t typical,
                       const std::function<uint64_t(bool sameType)>& nextDistance, uint64_t customBytes,
                       uint64_t volumeBytes);

class CProbableSizes {
public:
    // Takes a sorted view of the volume's collection by start once.
    explicit CProbableSizes(CVolume& volume);

    // The question's three candidates (0 where there is none) and type name.
    ProbableSizeQuestion Question(const FoundObject& object) const;
    // The size rule `rule` (SizeRule 1..4) gives `object`; the custom rule
    // gives `customBytes`. A rule without an answer falls back to the typical
    // size. Never reaches past the end of the volume.
    uint64_t Size(const FoundObject& object, uint32_t rule, uint64_t customBytes) const;

    static uint64_t TypicalSize(const FoundObject& object);

private:
    uint64_t NextDistance(const FoundObject& object, bool sameType) const;

    const CVolume& volume_;
    std::vector<std::pair<uint64_t, int16_t>> byStart_;  // start and type of every record
};

}  // namespace vx
