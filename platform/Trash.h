#pragma once
// The user's freedesktop Trash ($XDG_DATA_HOME/Trash): its files with the
// original paths and deletion dates their .trashinfo files record.
#include <string>
#include <vector>

namespace vx {

struct TrashItem {
    std::string name;          // the name inside Trash/files
    std::string file;          // full path of the trashed file or folder
    std::string originalPath;  // percent-decoded
    std::string deletionDate;  // as recorded: "2024-05-01T10:20:30"
};

// The items of the Trash below `dataHome` (DataHomeFolder() when empty).
// Info files that are unreadable, larger than 64 KiB or lack a Path line are
// skipped; at most 100 000 items are listed.
std::vector<TrashItem> ListTrash(const std::string& dataHome = {});

}  // namespace vx
