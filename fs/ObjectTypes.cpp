#include "fs/ObjectTypes.h"

#include "common/Strings.h"
#include "signatures/FileTypeDatabase.h"

namespace vx {

bool LookupObjectType(const FoundObject& record, ObjectTypeInfo& info) {
    FileTypeDatabase& db = FileTypes();
    const FileType* type = db.FindForObject(record);
    if (!type) return false;
    info.id = int16_t(type->Id());
    info.group = type->GroupId();
    info.prefix = type->NamePrefix();
    info.extension = FileTypeDatabase::FirstExtension(*type);
    info.groupTitle = db.GroupTitle(info.group);
    return true;
}

std::string ObjectTypeName(const FoundObject& record) {
    if (record.IsFolder()) return LoadString(str::Folder);
    if (const FileType* type = FileTypes().FindForObject(record)) {
        std::string title = type->Title();
        if (title.empty()) title = type->Description();
        if (!title.empty()) return title;
    }
    const std::string extension = record.name ? FileTypeDatabase::NameExtension(record.name) : std::string();
    return extension.empty() ? std::string("File") : extension + " File";
}

}  // namespace vx
