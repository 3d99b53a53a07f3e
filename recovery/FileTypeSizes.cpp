#include "recovery/FileTypeSizes.h"

#include <atomic>

namespace vx {

namespace {

// Until the file-type database answers, no object has a known type.
class DatabaseTypeSizes final : public IFileTypeSizes {
public:
    TypeSizeInfo Lookup(const FoundObject&) override { return {}; }
    void SetRule(const FoundObject&, uint32_t) override {}
    void SetTypicalSize(const FoundObject&, int32_t) override {}
};

DatabaseTypeSizes g_database;
std::atomic<IFileTypeSizes*> g_sizes{&g_database};

}  // namespace

IFileTypeSizes& FileTypeSizes() { return *g_sizes.load(std::memory_order_acquire); }

void SetFileTypeSizes(IFileTypeSizes* sizes) { g_sizes.store(sizes ? sizes : &g_database, std::memory_order_release); }

}  // namespace vx
