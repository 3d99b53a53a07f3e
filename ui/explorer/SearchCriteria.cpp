#include "ui/explorer/SearchCriteria.h"

#include <chrono>

#include "fs/FoundObject.h"
#include "ui/explorer/ExplorerFilter.h"

namespace vx {

namespace {
constexpr uint64_t kSecond = 10000000ull;  // file-time units
constexpr uint64_t kUnixEpoch = 116444736000000000ull;
}  // namespace

uint64_t FileTimeNow() {
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    return kUnixEpoch + uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(since).count()) * 10;
}

void SearchCriteria::SetSizeClass(int choice, int32_t value, int unit, int comparison) {
    sizeChoice = choice;
    sizeValue = value;
    switch (choice) {
        case kSizeSmall: sizeLimit = 102400; sizeMode = kSizeSmaller; break;
        case kSizeMedium: sizeLimit = 0x100000; sizeMode = kSizeSmaller; break;
        case kSizeLarge: sizeLimit = 0x100000; sizeMode = kSizeLarger; break;
        case kSizeSpecify: {
            static constexpr uint64_t kUnits[] = {1, 1024, 0x100000, 0x40000000};
            sizeLimit = uint64_t(int64_t(value)) * kUnits[unit >= 0 && unit < 4 ? unit : 1];
            sizeMode = comparison == 1 ? kSizeLarger : comparison == 2 ? kSizeSmaller : kSizeEqual;
            break;
        }
        default: sizeLimit = 0; sizeMode = kSizeEqual; break;
    }
}

void SearchCriteria::SetDateClass(int choice, uint64_t now, uint64_t specifiedFrom, uint64_t specifiedTo) {
    dateChoice = choice;
    switch (choice) {
        case kDatePastWeek: to = now; from = now - 604800 * kSecond; break;
        case kDatePastMonth: to = now; from = now - 2419200 * kSecond; break;
        case kDatePastYear: to = now; from = now - 31536000 * kSecond; break;
        case kDateSpecify: from = specifiedFrom; to = specifiedTo; break;
        default: break;
    }
}

bool SearchCriteria::Matches(const FoundObject& record) const {
    if (deletedOnly && !record.IsDeleted()) return false;
    if (ignoreFolders && record.IsFolder()) return false;
    if (record.IsVolumeNode() || !record.name || !*record.name) return false;
    if (!WildcardMatch(pattern.empty() ? "*" : pattern.c_str(), record.name, true)) return false;
    if (dateChoice != kDateAny && (record.modified < from || record.modified > to)) return false;
    if (sizeChoice != kSizeAny && !record.IsFolder() && record.SizeKnown()) {
        if (sizeMode == kSizeSmaller && !(record.size < sizeLimit)) return false;
        if (sizeMode == kSizeLarger && !(record.size > sizeLimit)) return false;
        if (sizeMode == kSizeEqual && record.size != sizeLimit) return false;
    }
    return true;
}

}  // namespace vx
