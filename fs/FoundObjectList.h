#pragma once
// A volume's collection of found objects: a flat store with an id index, a
// parent index and (while enabled) a position index. Filled by the analysis
// thread while other threads read it; every operation takes the collection's
// reader-writer lock, and records stay valid until Clear.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "fs/FoundObject.h"

namespace vx {

class CFoundObjectList {
public:
    CFoundObjectList();
    ~CFoundObjectList();
    CFoundObjectList(const CFoundObjectList&) = delete;
    CFoundObjectList& operator=(const CFoundObjectList&) = delete;

    // The volume whose notifications this list posts.
    void SetVolume(CVolume* volume) { volume_ = volume; }

    void Add(FoundObject* record, bool toArray);
    // Next record with `id`; a cursor of -1 starts at the most recently added.
    FoundObject* FindById(int32_t id, int64_t& cursor) const;
    FoundObject* FindFirstById(int32_t id) const;
    void ChildrenOf(int32_t parent, std::vector<FoundObject*>& out) const;
    std::vector<FoundObject*> Snapshot() const;
    size_t Count() const;

    // A copy of `name` that lives until Clear.
    const char* OwnName(std::string_view name);

    void Clear();

    int32_t rootId = 0;

protected:
    mutable std::shared_mutex mutex_;
    CVolume* volume_ = nullptr;
    std::vector<FoundObject*> all_;
    std::unordered_multimap<int32_t, FoundObject*> byId_;
    std::unordered_multimap<int32_t, FoundObject*> byParent_;
    std::deque<std::string> names_;
};

}  // namespace vx
