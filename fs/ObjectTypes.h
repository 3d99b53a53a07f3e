#pragma once
// The collection's one question to the file-type database: what type is this
// found object, and how are lost files of that type named and grouped.
#include <cstdint>
#include <string>

#include "fs/FoundObject.h"

namespace vx {

struct ObjectTypeInfo {
    int16_t id = 0;
    int32_t group = 0;        // category id; the lost-file group folder's id
    std::string prefix;       // stem of lost-file names ("doc")
    std::string extension;    // first extension ("doc")
    std::string groupTitle;   // the category's title ("Documents")
};

// The type of `record` by its type id, else by its name's extension. True
// when one is known; `info` then describes it.
bool LookupObjectType(const FoundObject& record, ObjectTypeInfo& info);

}  // namespace vx

namespace vx {

// The type name a view shows: "Folder" for a folder, the file type's title (or
// description) when the database knows the type, else what a desktop shell calls a file of
// that extension ("TXT File"), or "File".
std::string ObjectTypeName(const FoundObject& record);

}  // namespace vx
