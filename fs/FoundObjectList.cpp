#include "fs/FoundObjectList.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "common/Notifier.h"
#include "common/Strings.h"
#include "device/Volume.h"
#include "fs/ObjectTypes.h"

namespace vx {

namespace {

constexpr size_t kChunkRecords = 1024;
constexpr size_t kNameBlockBytes = 64 * 1024;
constexpr uint32_t kNoSlot = CIndexHeads::kNone;
constexpr uint16_t kLostFoldersFlags = object_flag::Folder | object_flag::ContainsDeleted | object_flag::NameAssigned;
constexpr uint16_t kLostFilesFlags = kLostFoldersFlags | object_flag::Deleted;
// Ids given to folders that had to leave an id to another: far below the
// volume and category ids, and never a cluster or record number.
constexpr int32_t kFirstSpareId = -0x10000000;

size_t HashKey(int32_t key, size_t mask) {
    // Fibonacci hashing spreads the runs of consecutive cluster numbers.
    return size_t((uint64_t(uint32_t(key)) * 0x9E3779B97F4A7C15ull) >> 29) & mask;
}

struct PendingNotice {
    FoundObject* record;
    int code;
};

}  // namespace

// --- CIndexHeads ------------------------------------------------------------

size_t CIndexHeads::Find(int32_t key) const {
    const size_t mask = cells_.size() - 1;
    size_t i = HashKey(key, mask);
    while (cells_[i].slot != kUnused && cells_[i].key != key) i = (i + 1) & mask;
    return i;
}

uint32_t CIndexHeads::Get(int32_t key) const {
    if (cells_.empty()) return kNone;
    const Cell& cell = cells_[Find(key)];
    return cell.slot == kUnused ? kNone : cell.slot;
}

void CIndexHeads::Put(int32_t key, uint32_t slot) {
    if ((used_ + 1) * 2 > cells_.size()) Grow();
    Cell& cell = cells_[Find(key)];
    if (cell.slot == kUnused) {
        cell.key = key;
        ++used_;
    }
    cell.slot = slot;
}

void CIndexHeads::Grow() {
    std::vector<Cell> old = std::move(cells_);
    cells_.assign(old.empty() ? 64 : old.size() * 2, Cell{0, kUnused});
    for (const Cell& c : old)
        if (c.slot != kUnused) cells_[Find(c.key)] = c;
}

void CIndexHeads::Clear() {
    cells_.clear();
    cells_.shrink_to_fit();
    used_ = 0;
}

// --- CFoundObjectList -------------------------------------------------------

CFoundObjectList::CFoundObjectList() = default;

CFoundObjectList::~CFoundObjectList() { Clear(); }

FoundObject* CFoundObjectList::NewRecord(const FoundObject& from) {
    if (chunks_.empty() || chunkUsed_ == kChunkRecords) {
        chunks_.push_back(std::make_unique<FoundObject[]>(kChunkRecords));
        chunkUsed_ = 0;
    }
    FoundObject* record = &chunks_.back()[chunkUsed_++];
    *record = from;
    record->flags &= uint16_t(~object_flag::Embedded);
    return record;
}

const char* CFoundObjectList::OwnNameLocked(std::string_view name) {
    const size_t need = name.size() + 1;
    char* place;
    if (need > kNameBlockBytes / 4) {
        nameBlocks_.insert(nameBlocks_.begin(), std::make_unique<char[]>(need));
        place = nameBlocks_.front().get();
    } else {
        if (nameBlocks_.empty() || nameBlockSize_ - nameBlockUsed_ < need) {
            nameBlocks_.push_back(std::make_unique<char[]>(kNameBlockBytes));
            nameBlockSize_ = kNameBlockBytes;
            nameBlockUsed_ = 0;
        }
        place = nameBlocks_.back().get() + nameBlockUsed_;
        nameBlockUsed_ += need;
    }
    std::memcpy(place, name.data(), name.size());
    place[name.size()] = '\0';
    nameBytes_ += need;
    return place;
}

const char* CFoundObjectList::OwnName(std::string_view name) {
    std::unique_lock lock(mutex_);
    return OwnNameLocked(name);
}

void CFoundObjectList::LinkParent(uint32_t slot) {
    const int32_t parent = all_[slot]->parent;
    const uint32_t head = parentHeads_.Get(parent);
    links_[slot].nextSameParent = head;
    links_[slot].prevSameParent = kNoSlot;
    if (head != kNoSlot) links_[head].prevSameParent = slot;
    parentHeads_.Put(parent, slot);
}

void CFoundObjectList::UnlinkParent(uint32_t slot) {
    Links& l = links_[slot];
    if (l.prevSameParent != kNoSlot) {
        links_[l.prevSameParent].nextSameParent = l.nextSameParent;
    } else if (parentHeads_.Get(all_[slot]->parent) == slot) {
        parentHeads_.Put(all_[slot]->parent, l.nextSameParent);
    }
    if (l.nextSameParent != kNoSlot) links_[l.nextSameParent].prevSameParent = l.prevSameParent;
    l.nextSameParent = l.prevSameParent = kNoSlot;
}

void CFoundObjectList::AddLocked(FoundObject* record) {
    const uint32_t slot = uint32_t(all_.size());
    all_.push_back(record);
    links_.push_back(Links{idHeads_.Get(record->id), kNoSlot, kNoSlot});
    idHeads_.Put(record->id, slot);
    LinkParent(slot);
    if (positionIndexEnabled_) byPosition_.emplace_hint(byPosition_.lower_bound(record->start), record->start, record);
}

void CFoundObjectList::Add(FoundObject* record, bool /*toArray*/) {
    if (!record) return;
    std::unique_lock lock(mutex_);
    if (!record->Is(object_flag::Embedded)) heapOwned_.emplace_back(record);
    AddLocked(record);
}

void CFoundObjectList::ErasePositionLocked(const FoundObject* record) {
    auto [b, e] = byPosition_.equal_range(record->start);
    for (auto it = b; it != e; ++it) {
        if (it->second == record) {
            byPosition_.erase(it);
            return;
        }
    }
}

FoundObject* CFoundObjectList::FindFolderLocked(int32_t id) const {
    for (uint32_t s = idHeads_.Get(id); s != kNoSlot; s = links_[s].nextSameId)
        if (all_[s]->IsFolder()) return all_[s];
    return nullptr;
}

FoundObject* CFoundObjectList::MakeLostFolderLocked(int32_t id, int32_t nameId) {
    // Whoever drives the analysis, a lost folder hangs below a root that exists.
    MakeRootLocked(object_id::LostFolders, kLostFoldersFlags, str::LostFolders, lostFoldersRoot_);
    FoundObject folder;
    folder.flags = object_flag::Deleted | object_flag::Folder | object_flag::ContainsDeleted |
                   object_flag::NameAssigned;
    folder.id = id;
    folder.parent = object_id::LostFolders;
    folder.size = kSizeUnknown;
    FoundObject* record = NewRecord(folder);
    record->name = OwnNameLocked(Format(LoadString(str::LostFolderName), int(nameId)));
    AddLocked(record);
    return record;
}

int32_t CFoundObjectList::SpareIdLocked() {
    // Ids no file system hands out and no invented record uses.
    while (idHeads_.Get(nextSpareId_) != kNoSlot) --nextSpareId_;
    return nextSpareId_--;
}

uint32_t CFoundObjectList::SlotOf(const FoundObject* record) const {
    for (uint32_t s = idHeads_.Get(record->id); s != kNoSlot; s = links_[s].nextSameId)
        if (all_[s] == record) return s;
    return kNoSlot;
}

void CFoundObjectList::ChangeIdLocked(uint32_t slot, int32_t id) {
    FoundObject* record = all_[slot];
    const uint32_t head = idHeads_.Get(record->id);
    if (head == slot) {
        idHeads_.Put(record->id, links_[slot].nextSameId);
    } else {
        for (uint32_t s = head; s != kNoSlot; s = links_[s].nextSameId)
            if (links_[s].nextSameId == slot) {
                links_[s].nextSameId = links_[slot].nextSameId;
                break;
            }
    }
    record->id = id;
    links_[slot].nextSameId = idHeads_.Get(id);
    idHeads_.Put(id, slot);
}

void CFoundObjectList::ChangeParentLocked(uint32_t slot, int32_t parent) {
    UnlinkParent(slot);
    all_[slot]->parent = parent;
    LinkParent(slot);
}

bool CFoundObjectList::HoldsDeletedLocked(int32_t id) const {
    for (uint32_t s = parentHeads_.Get(id); s != kNoSlot; s = links_[s].nextSameParent)
        if (all_[s]->Is(object_flag::Deleted | object_flag::ContainsDeleted)) return true;
    return false;
}

FoundObject* CFoundObjectList::AddFromFileSystem(const FoundObject& from, bool notify) {
    FoundObject incoming = from;
    incoming.flags &= uint16_t(~object_flag::Embedded);
    ObjectTypeInfo info;
    if (LookupObjectType(incoming, info)) incoming.type = info.id;

    std::vector<PendingNotice> notices;
    FoundObject* result = nullptr;
    {
        std::unique_lock lock(mutex_);
        const char* name = incoming.name ? OwnNameLocked(incoming.name) : nullptr;
        incoming.name = name;

        // A lost folder made earlier for this id is the record to fill, when
        // what arrives is a folder: a file can share the first cluster of a
        // missing folder, and must not take its children.
        uint32_t placeholder = kNoSlot;
        for (uint32_t s = incoming.IsFolder() ? idHeads_.Get(incoming.id) : kNoSlot; s != kNoSlot;
             s = links_[s].nextSameId) {
            if (all_[s]->parent == object_id::LostFolders) {
                placeholder = s;
                break;
            }
        }
        if (placeholder != kNoSlot) {
            UnlinkParent(placeholder);
            notices.push_back({all_[placeholder], kPlaceholderReplaced});
        }

        // Two folders with one id would share their entries. On FAT that is a
        // deleted folder whose first cluster now starts a live folder, or a
        // directory entry pointing back up the tree: the entries read there
        // stay with the live folder, else with the folder met first; the
        // other folder keeps its name and place under an id of its own.
        bool tookId = false;
        if (incoming.IsFolder() && placeholder == kNoSlot) {
            if (FoundObject* holder = FindFolderLocked(incoming.id)) {
                const uint32_t slot = SlotOf(holder);
                if (holder->IsDeleted() && !incoming.IsDeleted() && !holder->Is(object_flag::Embedded) &&
                    slot != kNoSlot) {
                    ChangeIdLocked(slot, SpareIdLocked());
                    tookId = true;
                } else {
                    incoming.id = SpareIdLocked();
                }
            }
        }

        const int32_t root = rootId.load();
        if (!FindFolderLocked(incoming.parent) && incoming.parent != 0 && incoming.id != 0 &&
            incoming.id != root && incoming.parent != root && incoming.parent != incoming.id) {
            notices.push_back({MakeLostFolderLocked(incoming.parent, incoming.parent), kLostFolderCreated});
        }

        if (placeholder != kNoSlot) {
            result = all_[placeholder];
            // The children already filed under the lost folder stay with it.
            const uint16_t kept = result->flags & object_flag::ContainsDeleted;
            if (positionIndexEnabled_) ErasePositionLocked(result);
            *result = incoming;
            result->flags |= kept;
            LinkParent(placeholder);
            if (positionIndexEnabled_)
                byPosition_.emplace_hint(byPosition_.lower_bound(result->start), result->start, result);
        } else {
            result = NewRecord(incoming);
            AddLocked(result);
        }
        if (result->IsDeleted() || (tookId && HoldsDeletedLocked(result->id))) MarkContainsDeletedLocked(result);
        notices.push_back({result, kObjectAdded});
    }
    if (notify)
        for (const PendingNotice& n : notices) Notify(n.record, n.code);
    return result;
}

FoundObject* CFoundObjectList::AddLost(const FoundObject& from, bool notify) {
    try {
        FoundObject incoming = from;
        incoming.flags &= uint16_t(~object_flag::Embedded);
        ObjectTypeInfo info;
        const bool typed = LookupObjectType(incoming, info);
        if (typed) {
            incoming.type = info.id;
            incoming.parent = info.group;
        }
        std::string name;
        if (!(incoming.Is(object_flag::NameAssigned) && incoming.name)) {
            if (typed)
                name = Format("%s_%lld.%s", info.prefix.c_str(), (long long)incoming.start, info.extension.c_str());
            else
                name = Format(LoadString(str::LostFileName), (long long)incoming.start);
            incoming.flags |= object_flag::NameAssigned;
        } else {
            name = incoming.name;
        }

        FoundObject* result = nullptr;
        int code = kLostFileAdded;
        {
            std::unique_lock lock(mutex_);
            if (positionIndexEnabled_) {
                auto it = byPosition_.lower_bound(incoming.start);
                if (it != byPosition_.end() && it->first == incoming.start) {
                    it->second->flags |= object_flag::SeenAgain;
                    result = it->second;
                    code = kSeenAgain;
                }
            }
            if (!result) {
                incoming.name = OwnNameLocked(name);
                result = NewRecord(incoming);
                AddLocked(result);
                if (typed) {
                    bool haveGroup = false;
                    for (uint32_t s = idHeads_.Get(info.group); s != kNoSlot && !haveGroup; s = links_[s].nextSameId)
                        haveGroup = all_[s]->IsFolder();
                    if (!haveGroup) {
                        MakeRootLocked(object_id::LostFiles, kLostFilesFlags, str::LostFiles, lostFilesRoot_);
                        FoundObject group;
                        group.flags = object_flag::Folder | object_flag::ContainsDeleted | object_flag::NameAssigned;
                        group.id = info.group;
                        group.parent = object_id::LostFiles;
                        group.size = kSizeUnknown;
                        group.name = OwnNameLocked(info.groupTitle);
                        AddLocked(NewRecord(group));
                    }
                }
            }
        }
        if (notify) Notify(result, code);
        return result;
    } catch (...) {
        return nullptr;
    }
}

// Every record must be reachable from the root folder or one of the two lost
// roots, or no view and no recovery ever gets to it. What a walk from there
// misses hangs below a parent id no folder holds (it gets a lost folder), or
// below a loop of folders (parent ids pointing back, as on a damaged volume or
// one whose records were reused): the loop is cut at a deleted folder of it
// when there is one, which goes under a lost folder of its own.
size_t CFoundObjectList::AttachUnreachable() {
    std::vector<PendingNotice> notices;
    size_t moved = 0;
    {
        std::unique_lock lock(mutex_);
        std::vector<uint8_t> reached(all_.size(), 0);
        std::unordered_set<int32_t> expanded;
        std::vector<int32_t> queue;
        auto expand = [&](int32_t id) {
            if (expanded.insert(id).second) queue.push_back(id);
        };
        auto walk = [&] {
            while (!queue.empty()) {
                const int32_t id = queue.back();
                queue.pop_back();
                for (uint32_t s = parentHeads_.Get(id); s != kNoSlot; s = links_[s].nextSameParent) {
                    if (s >= reached.size()) reached.resize(all_.size(), 0);
                    if (reached[s]) continue;
                    reached[s] = 1;
                    if (all_[s]->IsFolder()) expand(all_[s]->id);
                }
            }
        };
        for (uint32_t s = 0; s < all_.size(); ++s) {
            const FoundObject* r = all_[s];
            const bool top = r->Is(object_flag::Embedded) || r == lostFoldersRoot_ || r == lostFilesRoot_;
            if (!top) continue;
            reached[s] = 1;
            if (r->IsFolder()) expand(r->id);
        }
        expand(rootId.load());
        expand(object_id::LostFolders);
        expand(object_id::LostFiles);
        walk();

        std::vector<uint32_t> path;
        std::unordered_map<uint32_t, size_t> onPath;
        for (uint32_t s = 0; s < reached.size() && s < all_.size(); ++s) {
            if (reached[s]) continue;
            // Climb until a parent id without a folder, or a folder met twice.
            path.assign(1, s);
            onPath.clear();
            onPath.emplace(s, 0);
            uint32_t cut = kNoSlot;
            int32_t missing = 0;
            bool noFolder = false;
            for (size_t steps = 0; steps <= all_.size(); ++steps) {
                const int32_t parent = all_[path.back()]->parent;
                const FoundObject* folder = FindFolderLocked(parent);
                const uint32_t f = folder ? SlotOf(folder) : kNoSlot;
                if (f == kNoSlot) {
                    noFolder = true;
                    missing = parent;
                    break;
                }
                if (f < reached.size() && reached[f]) break;  // reached meanwhile
                if (const auto known = onPath.find(f); known != onPath.end()) {
                    // The loop is path[known..]; cut it at a deleted folder of it.
                    cut = f;
                    for (auto it = path.begin() + ptrdiff_t(known->second); it != path.end(); ++it)
                        if (all_[*it]->IsFolder() && all_[*it]->IsDeleted()) {
                            cut = *it;
                            break;
                        }
                    break;
                }
                onPath.emplace(f, path.size());
                path.push_back(f);
            }
            if (!noFolder && cut == kNoSlot) continue;
            const int32_t former = noFolder ? missing : all_[cut]->parent;
            const size_t before = all_.size();
            FoundObject* lost = MakeLostFolderLocked(noFolder ? missing : SpareIdLocked(), former);
            if (!noFolder) ChangeParentLocked(cut, lost->id);
            // The new lost folder, and "Lost folders" when it was made now.
            reached.resize(all_.size(), 0);
            for (size_t t = before; t < all_.size(); ++t) reached[t] = 1;
            expand(lost->id);
            notices.push_back({lost, kLostFolderCreated});
            ++moved;
            walk();
        }
    }
    for (const PendingNotice& n : notices) Notify(n.record, n.code);
    return moved;
}

void CFoundObjectList::MarkContainsDeletedLocked(FoundObject* record) {
    // Bounded by the number of records, so a loop in the parent ids ends.
    size_t steps = all_.size() + 1;
    if (record && record->IsFolder()) {
        record->flags |= object_flag::ContainsDeleted;
    }
    int32_t parent = record ? record->parent : 0;
    int32_t self = record ? record->id : 0;
    while (steps-- > 0 && parent != self) {
        FoundObject* up = FindFolderLocked(parent);
        if (!up || up->Is(object_flag::ContainsDeleted)) return;
        up->flags |= object_flag::ContainsDeleted;
        self = up->id;
        parent = up->parent;
    }
}

void CFoundObjectList::MarkContainsDeleted(FoundObject* record) {
    std::unique_lock lock(mutex_);
    MarkContainsDeletedLocked(record);
}

FoundObject* CFoundObjectList::FindById(int32_t id, int64_t& cursor) const {
    std::shared_lock lock(mutex_);
    uint32_t s;
    if (cursor < 0) {
        s = idHeads_.Get(id);
    } else if (uint64_t(cursor) < links_.size() && all_[size_t(cursor)]->id == id) {
        s = links_[size_t(cursor)].nextSameId;
    } else {
        s = kNoSlot;
    }
    if (s == kNoSlot) {
        cursor = int64_t(links_.size());
        return nullptr;
    }
    cursor = int64_t(s);
    return all_[s];
}

FoundObject* CFoundObjectList::FindFirstById(int32_t id) const {
    std::shared_lock lock(mutex_);
    const uint32_t s = idHeads_.Get(id);
    return s == kNoSlot ? nullptr : all_[s];
}

FoundObject* CFoundObjectList::FindFolder(int32_t id) const {
    std::shared_lock lock(mutex_);
    return FindFolderLocked(id);
}

void CFoundObjectList::ChildrenOf(int32_t parent, std::vector<FoundObject*>& out) const {
    std::shared_lock lock(mutex_);
    for (uint32_t s = parentHeads_.Get(parent); s != kNoSlot; s = links_[s].nextSameParent) out.push_back(all_[s]);
}

std::vector<FoundObject> CFoundObjectList::CopyChildren(int32_t parent) const {
    std::shared_lock lock(mutex_);
    std::vector<FoundObject> out;
    for (uint32_t s = parentHeads_.Get(parent); s != kNoSlot; s = links_[s].nextSameParent) out.push_back(*all_[s]);
    return out;
}

bool CFoundObjectList::CopyRecord(const FoundObject* record, FoundObject& out) const {
    if (!record) return false;
    std::shared_lock lock(mutex_);
    out = *record;
    return true;
}

void CFoundObjectList::Visit(const std::function<void(const FoundObject&)>& visit) const {
    std::shared_lock lock(mutex_);
    for (const FoundObject* r : all_) visit(*r);
}

void CFoundObjectList::EnablePositionIndex(bool enable) {
    std::unique_lock lock(mutex_);
    if (!enable || positionIndexEnabled_) return;
    positionIndexEnabled_ = true;
    // In order of addition, so that among equal starts the most recent is first.
    for (FoundObject* r : all_) byPosition_.emplace_hint(byPosition_.lower_bound(r->start), r->start, r);
}

bool CFoundObjectList::PositionIndexEnabled() const {
    std::shared_lock lock(mutex_);
    return positionIndexEnabled_;
}

FoundObject* CFoundObjectList::FindByPosition(uint64_t start) const {
    std::shared_lock lock(mutex_);
    auto it = byPosition_.lower_bound(start);
    return it != byPosition_.end() && it->first == start ? it->second : nullptr;
}

FoundObject* CFoundObjectList::NextAfterPosition(uint64_t start) const {
    std::shared_lock lock(mutex_);
    auto it = byPosition_.lower_bound(start);
    if (it == byPosition_.end() || it->first != start) return nullptr;
    ++it;
    return it == byPosition_.end() ? nullptr : it->second;
}

FoundObject* CFoundObjectList::NextOfSameType(const FoundObject* record) const {
    if (!record) return nullptr;
    std::shared_lock lock(mutex_);
    auto it = byPosition_.lower_bound(record->start);
    if (it == byPosition_.end() || it->first != record->start) return nullptr;
    const int16_t type = record->type;
    for (++it; it != byPosition_.end(); ++it)
        if (it->second->type == type) return it->second;
    return nullptr;
}

FoundObject* CFoundObjectList::MakeRootLocked(int32_t id, uint16_t flags, int nameId, FoundObject*& field) {
    if (field) return field;
    FoundObject root;
    root.flags = flags;
    root.id = id;
    root.parent = volume_ ? volume_->Id() : 0;
    root.size = kSizeUnknown;
    root.name = OwnNameLocked(LoadString(nameId));
    field = NewRecord(root);
    AddLocked(field);
    return field;
}

FoundObject* CFoundObjectList::LostFoldersRoot() {
    FoundObject* root;
    {
        std::unique_lock lock(mutex_);
        root = MakeRootLocked(object_id::LostFolders, kLostFoldersFlags, str::LostFolders, lostFoldersRoot_);
    }
    return root;
}

FoundObject* CFoundObjectList::LostFilesRoot() {
    std::unique_lock lock(mutex_);
    return MakeRootLocked(object_id::LostFiles, kLostFilesFlags, str::LostFiles, lostFilesRoot_);
}

FoundObject* CFoundObjectList::LostFoldersRootIfAny() const {
    std::shared_lock lock(mutex_);
    return lostFoldersRoot_;
}

FoundObject* CFoundObjectList::LostFilesRootIfAny() const {
    std::shared_lock lock(mutex_);
    return lostFilesRoot_;
}

std::vector<FoundObject*> CFoundObjectList::Snapshot() const {
    std::shared_lock lock(mutex_);
    return all_;
}

size_t CFoundObjectList::Count() const {
    std::shared_lock lock(mutex_);
    return all_.size();
}

size_t CFoundObjectList::MemoryBytes() const {
    std::shared_lock lock(mutex_);
    size_t bytes = all_.capacity() * sizeof(FoundObject*) + links_.capacity() * sizeof(Links);
    bytes += chunks_.size() * kChunkRecords * sizeof(FoundObject);
    bytes += heapOwned_.size() * sizeof(FoundObject);
    bytes += idHeads_.MemoryBytes() + parentHeads_.MemoryBytes();
    bytes += byPosition_.size() * 48;  // a tree node of the position index
    for (size_t i = 0; i < nameBlocks_.size(); ++i) bytes += kNameBlockBytes;
    return bytes;
}

size_t CFoundObjectList::NameBytes() const {
    std::shared_lock lock(mutex_);
    return nameBytes_;
}

void CFoundObjectList::Notify(FoundObject* record, int code) {
    Notifier().OnCollectionChanged(volume_, record, code);
}

void CFoundObjectList::Clear() {
    std::unique_lock lock(mutex_);
    all_.clear();
    all_.shrink_to_fit();
    links_.clear();
    links_.shrink_to_fit();
    idHeads_.Clear();
    parentHeads_.Clear();
    byPosition_.clear();
    positionIndexEnabled_ = false;
    chunks_.clear();
    chunkUsed_ = 0;
    heapOwned_.clear();
    nameBlocks_.clear();
    nameBlockUsed_ = nameBlockSize_ = 0;
    nameBytes_ = 0;
    lostFoldersRoot_ = lostFilesRoot_ = nullptr;
    nextSpareId_ = kFirstSpareId;
}

}  // namespace vx
