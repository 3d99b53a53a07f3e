#include "recovery/RecoverList.h"

#include <algorithm>
#include <unordered_set>

#include "fs/FoundObjectList.h"

namespace vx {

bool IsVolumeNode(const FoundObject& record) {
    // Group folders of lost files carry category ids (-48 ... -144) that
    // overlap the volume ids; a volume node is the one record whose name slot
    // holds its volume.
    return record.IsVolumeNode() || record.id == object_id::Computer || record.id == object_id::RecycleBin;
}

void AppendFilesBelow(const CFoundObjectList& collection, const FoundObject& folder, std::vector<FoundObject*>& out) {
    // An explicit stack keeps deep trees off the call stack; the visited set
    // ends any loop of parent ids.
    struct Level {
        std::vector<FoundObject*> children;
        size_t next = 0;
    };
    std::unordered_set<const FoundObject*> visited{&folder};
    // The collection lists children most recently added first; recovery
    // goes in the order the analysis found them.
    auto children = [&](int32_t id, std::vector<FoundObject*>& list) {
        collection.ChildrenOf(id, list);
        std::reverse(list.begin(), list.end());
    };
    std::vector<Level> stack(1);
    children(folder.id, stack.back().children);
    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.next == level.children.size()) {
            stack.pop_back();
            continue;
        }
        FoundObject* child = level.children[level.next++];
        if (IsVolumeNode(*child) || !visited.insert(child).second) continue;
        if (!child->IsFolder()) {
            out.push_back(child);
            continue;
        }
        Level below;
        children(child->id, below.children);
        stack.push_back(std::move(below));
    }
}

std::vector<FoundObject*> BuildRecoverList(const CFoundObjectList& collection,
                                           const std::vector<FoundObject*>& selection) {
    std::vector<FoundObject*> out;
    for (FoundObject* item : selection) {
        if (!item || IsVolumeNode(*item)) continue;
        if (item->IsFolder()) AppendFilesBelow(collection, *item, out);
        out.push_back(item);
    }
    return out;
}

std::vector<FoundObject*> BuildRecoverListFromTree(const CFoundObjectList& collection, FoundObject* current) {
    std::vector<FoundObject*> out;
    if (current && current->IsFolder() && !IsVolumeNode(*current)) AppendFilesBelow(collection, *current, out);
    return out;
}

}  // namespace vx
