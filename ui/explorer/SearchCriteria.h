#pragma once
// What the search in found objects looks for, filled from the search form,
// and the test of one record against it.
#include <cstdint>
#include <string>

namespace vx {

struct FoundObject;

enum SearchDateChoice : int { kDateAny = 0, kDatePastWeek = 1, kDatePastMonth = 2, kDatePastYear = 3, kDateSpecify = 4 };
enum SearchSizeChoice : int { kSizeAny = 0, kSizeSmall = 1, kSizeMedium = 2, kSizeLarge = 3, kSizeSpecify = 4 };
enum SearchSizeMode : int { kSizeSmaller = -1, kSizeEqual = 0, kSizeLarger = 1 };

struct SearchCriteria {
    std::string pattern = "*";  // at most 2048 characters
    int dateChoice = kDateAny;
    uint64_t from = 0, to = 0;  // FILETIME bounds
    int sizeChoice = kSizeAny;
    uint64_t sizeLimit = 0;
    int sizeMode = kSizeEqual;
    int32_t sizeValue = 0;
    bool deletedOnly = true;
    bool ignoreFolders = true;

    // The size class of the form: limit and mode. For "Specify size" the
    // number times the unit (0 B, 1 KB, 2 MB, 3 GB) and the comparison
    // (0 " =", 1 " >", 2 " <").
    void SetSizeClass(int choice, int32_t value = 0, int unit = 1, int comparison = 0);
    // The date class: past week, month and year end now (UTC file time);
    // "Specify dates" takes the two given bounds unchanged.
    void SetDateClass(int choice, uint64_t now, uint64_t specifiedFrom = 0, uint64_t specifiedTo = 0);

    bool Matches(const FoundObject& record) const;
};

// The current time as a Windows file time.
uint64_t FileTimeNow();

}  // namespace vx
