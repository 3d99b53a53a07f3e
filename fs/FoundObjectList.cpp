#include "fs/FoundObjectList.h"

#include <mutex>

namespace vx {

CFoundObjectList::CFoundObjectList() = default;

CFoundObjectList::~CFoundObjectList() { Clear(); }

void CFoundObjectList::Add(FoundObject* record, bool toArray) {
    std::unique_lock lock(mutex_);
    if (toArray) all_.push_back(record);
    byId_.emplace(record->id, record);
    byParent_.emplace(record->parent, record);
}

FoundObject* CFoundObjectList::FindById(int32_t id, int64_t& cursor) const {
    std::shared_lock lock(mutex_);
    // Most recent first: walk the array backwards from the cursor.
    int64_t i = cursor < 0 ? int64_t(all_.size()) - 1 : cursor - 1;
    for (; i >= 0; --i) {
        if (all_[size_t(i)]->id == id) {
            cursor = i;
            return all_[size_t(i)];
        }
    }
    cursor = 0;
    return nullptr;
}

FoundObject* CFoundObjectList::FindFirstById(int32_t id) const {
    int64_t cursor = -1;
    return FindById(id, cursor);
}

void CFoundObjectList::ChildrenOf(int32_t parent, std::vector<FoundObject*>& out) const {
    std::shared_lock lock(mutex_);
    auto [b, e] = byParent_.equal_range(parent);
    for (auto it = b; it != e; ++it) out.push_back(it->second);
}

std::vector<FoundObject*> CFoundObjectList::Snapshot() const {
    std::shared_lock lock(mutex_);
    return all_;
}

size_t CFoundObjectList::Count() const {
    std::shared_lock lock(mutex_);
    return all_.size();
}

const char* CFoundObjectList::OwnName(std::string_view name) {
    std::unique_lock lock(mutex_);
    names_.emplace_back(name);
    return names_.back().c_str();
}

void CFoundObjectList::Clear() {
    std::unique_lock lock(mutex_);
    for (FoundObject* r : all_)
        if (!r->Is(object_flag::Embedded)) delete r;
    all_.clear();
    byId_.clear();
    byParent_.clear();
    names_.clear();
}

}  // namespace vx
