#include "fs/ObjectTypes.h"

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

}  // namespace vx
