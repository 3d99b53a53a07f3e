#pragma once
// A volume's collection of found objects: a flat store with an id index, a
// parent index and (while enabled) a position index. The tree is implied by
// ids: the children of a folder are the records whose parent is its id.
//
// Filled by the analysis thread (and the scanner's workers) while other
// threads read it. Every operation takes the collection's reader-writer lock;
// records and names stay at their address until Clear. A record's fields may
// still change after it was added (a lost folder becomes the real folder,
// flags are set), so a reader on another thread copies what it shows with
// CopyChildren / CopyRecord / Visit rather than reading through pointers.
//
// Memory: records are kept in chunks, names in a character arena, and the
// id and parent indexes are chains of 32-bit slot numbers whose heads sit in
// an open-addressing table, so a record costs little more than its own size.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "fs/FoundObject.h"

namespace vx {

// Heads of the index chains: an open-addressing map from a 32-bit key to the
// slot of the most recently added record with that key.
class CIndexHeads {
public:
    static constexpr uint32_t kNone = 0xFFFFFFFFu;
    uint32_t Get(int32_t key) const;
    void Put(int32_t key, uint32_t slot);
    void Clear();
    size_t MemoryBytes() const { return cells_.capacity() * sizeof(Cell); }

private:
    static constexpr uint32_t kUnused = 0xFFFFFFFEu;
    struct Cell {
        int32_t key;
        uint32_t slot;  // kUnused: a free cell; kNone: the key's chain is empty
    };
    size_t Find(int32_t key) const;
    void Grow();
    std::vector<Cell> cells_;
    size_t used_ = 0;
};

class CFoundObjectList {
public:
    CFoundObjectList();
    ~CFoundObjectList();
    CFoundObjectList(const CFoundObjectList&) = delete;
    CFoundObjectList& operator=(const CFoundObjectList&) = delete;

    // The volume whose notifications this list sends.
    void SetVolume(CVolume* volume) { volume_ = volume; }
    CVolume* Volume() const { return volume_; }

    // Adds a record kept elsewhere: one flagged Embedded stays its owner's;
    // any other must be a heap record, which the list then owns and deletes
    // in Clear. Indexed under its id, its parent and (when enabled) its start.
    // The flag is kept for callers written for the array-less form; every
    // record added is in the array.
    void Add(FoundObject* record, bool toArray = true);

    // Adds a record produced by a directory analysis: copied (with its name)
    // into the list, typed by the file-type database, filed under its parent
    // folder, replacing a lost folder made earlier for its id, or under a new
    // lost folder when its parent is unknown. Returns the stored record.
    FoundObject* AddFromFileSystem(const FoundObject& record, bool notify = true);

    // Adds a record produced by the sector scan (copied, with its name). When
    // a record is already listed at the same start that one is marked seen
    // again and returned instead. Null on failure.
    FoundObject* AddLost(const FoundObject& record, bool notify = true);

    // Files what no walk from the root folder or the two lost roots reaches
    // (records below a parent id no folder holds, or below a loop of
    // folders) under lost folders. Run at the end of a file-system analysis.
    // Returns the lost folders it made.
    size_t AttachUnreachable();

    // Sets ContainsDeleted on a folder record and on every ancestor folder up
    // to the first one that already carries it.
    void MarkContainsDeleted(FoundObject* record);

    // Next record with `id`, most recently added first; a cursor of -1 starts
    // at the first. Null at the end.
    FoundObject* FindById(int32_t id, int64_t& cursor) const;
    FoundObject* FindFirstById(int32_t id) const;
    // The first folder record with `id`, or null.
    FoundObject* FindFolder(int32_t id) const;
    // Appends the records whose parent is `parent`, most recently added first.
    void ChildrenOf(int32_t parent, std::vector<FoundObject*>& out) const;

    // Position index (used by the sector scan and recovery).
    void EnablePositionIndex(bool enable);
    bool PositionIndexEnabled() const;
    FoundObject* FindByPosition(uint64_t start) const;
    FoundObject* NextAfterPosition(uint64_t start) const;
    FoundObject* NextOfSameType(const FoundObject* record) const;

    // The "Lost folders" and "Lost files" roots, created on first use.
    FoundObject* LostFoldersRoot();
    FoundObject* LostFilesRoot();
    FoundObject* LostFoldersRootIfAny() const;
    FoundObject* LostFilesRootIfAny() const;

    // Consistent copies for readers on other threads.
    std::vector<FoundObject> CopyChildren(int32_t parent) const;
    bool CopyRecord(const FoundObject* record, FoundObject& out) const;
    // Calls `visit` for every record in order of addition, under the read lock
    // (the callback must not call back into the list).
    void Visit(const std::function<void(const FoundObject&)>& visit) const;
    std::vector<FoundObject*> Snapshot() const;
    size_t Count() const;
    // Holds the read lock while a reader walks many records through their
    // pointers (a view sorting or drawing rows); no other call of the list
    // may be made while it is held.
    std::shared_lock<std::shared_mutex> ReadLock() const { return std::shared_lock(mutex_); }

    // A copy of `name` that lives until Clear.
    const char* OwnName(std::string_view name);

    // Bytes held by the list (records, names, indexes), for measurements.
    size_t MemoryBytes() const;
    // Bytes of the names (with their terminators) inside that.
    size_t NameBytes() const;

    // Empties the indexes and the store and forgets both roots; frees every
    // record and name the list owns. Embedded records are left alone.
    void Clear();

    // Id of the file system's root folder (0, 2 or 5).
    std::atomic<int32_t> rootId{0};

private:
    struct Links {
        uint32_t nextSameId;
        uint32_t nextSameParent;
        uint32_t prevSameParent;
    };

    FoundObject* NewRecord(const FoundObject& from);
    const char* OwnNameLocked(std::string_view name);
    void AddLocked(FoundObject* record);
    void LinkParent(uint32_t slot);
    void UnlinkParent(uint32_t slot);
    FoundObject* FindFolderLocked(int32_t id) const;
    void ErasePositionLocked(const FoundObject* record);
    // A lost folder with `id` below "Lost folders", named after `nameId`.
    FoundObject* MakeLostFolderLocked(int32_t id, int32_t nameId);
    int32_t SpareIdLocked();
    uint32_t SlotOf(const FoundObject* record) const;
    void ChangeIdLocked(uint32_t slot, int32_t id);
    void ChangeParentLocked(uint32_t slot, int32_t parent);
    bool HoldsDeletedLocked(int32_t id) const;
    FoundObject* MakeRootLocked(int32_t id, uint16_t flags, int nameId, FoundObject*& field);
    void MarkContainsDeletedLocked(FoundObject* record);
    void Notify(FoundObject* record, int code);

    mutable std::shared_mutex mutex_;
    CVolume* volume_ = nullptr;

    std::vector<FoundObject*> all_;      // every record, in order of addition
    std::vector<Links> links_;           // parallel to all_
    CIndexHeads idHeads_;
    CIndexHeads parentHeads_;
    std::multimap<uint64_t, FoundObject*> byPosition_;
    bool positionIndexEnabled_ = false;

    std::vector<std::unique_ptr<FoundObject[]>> chunks_;  // records the list made
    size_t chunkUsed_ = 0;
    std::vector<std::unique_ptr<FoundObject>> heapOwned_;  // records handed over by Add
    std::vector<std::unique_ptr<char[]>> nameBlocks_;
    size_t nameBlockUsed_ = 0;
    size_t nameBlockSize_ = 0;
    size_t nameBytes_ = 0;

    FoundObject* lostFoldersRoot_ = nullptr;
    FoundObject* lostFilesRoot_ = nullptr;
    int32_t nextSpareId_ = -0x10000000;
};

}  // namespace vx
