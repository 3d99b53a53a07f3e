// SQLite: the page size times the page count of the header, when the header
// says the count is current.
#include "signatures/sizes/SizeRule.h"

namespace vx {

namespace sqlite {
inline constexpr uint64_t PageSize = 16, ChangeCounter = 24, PageCount = 28, ValidFor = 92;
}  // namespace sqlite

StructuralSize SqliteSize(BoundedReader& r) {
    uint16_t pageSize = 0;
    uint32_t pages = 0, changes = 0, validFor = 0;
    if (!r.Equals(0, std::string_view("SQLite format 3\0", 16))) return StructuralSize::Reject();
    if (!r.Be16(sqlite::PageSize, pageSize) || !r.Be32(sqlite::PageCount, pages) ||
        !r.Be32(sqlite::ChangeCounter, changes) || !r.Be32(sqlite::ValidFor, validFor))
        return {};
    const uint32_t size = pageSize == 1 ? 65536 : pageSize;
    if (size < 512 || (size & (size - 1))) return StructuralSize::Reject();
    if (pages == 0 || changes != validFor) return {};
    const uint64_t end = uint64_t(size) * pages;
    if (!r.Has(0, end)) return {};
    return StructuralSize::Sized(end);
}

}  // namespace vx
