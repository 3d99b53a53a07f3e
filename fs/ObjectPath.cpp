#include "fs/ObjectPath.h"

#include <unordered_set>
#include <vector>

#include "common/Strings.h"

namespace vx {

namespace {

// The names from the record up to the first record that is a root: the
// root folder, "Lost folders" or "Lost files". `top` gets the id it stopped at.
std::vector<std::string> Climb(const CFoundObjectList& list, const FoundObject& record, int32_t& top) {
    std::vector<std::string> names{record.name ? record.name : ""};
    const int32_t root = list.rootId.load();
    std::unordered_set<int32_t> seen{record.id};
    int32_t parent = record.parent;
    top = parent;
    while (parent != root && parent != object_id::LostFolders && parent != object_id::LostFiles) {
        FoundObject up;
        if (!seen.insert(parent).second || !list.CopyRecord(list.FindFolder(parent), up)) break;
        names.emplace_back(up.name ? up.name : "");
        parent = up.parent;
        top = parent;
    }
    return names;
}

}  // namespace

std::string ObjectPath(const CFoundObjectList& list, const FoundObject& record) {
    int32_t top = 0;
    std::vector<std::string> names = Climb(list, record, top);
    if (top == object_id::LostFolders) names.emplace_back(LoadString(str::LostFolders));
    if (top == object_id::LostFiles) names.emplace_back(LoadString(str::LostFiles));
    std::string path;
    for (auto it = names.rbegin(); it != names.rend(); ++it) path += "/" + *it;
    return path;
}

bool IsLostObject(const CFoundObjectList& list, const FoundObject& record) {
    int32_t top = 0;
    Climb(list, record, top);
    return top == object_id::LostFolders || top == object_id::LostFiles;
}

}  // namespace vx
