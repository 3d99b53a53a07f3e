#pragma once
// What recovery needs of the file-type database: an object's type name, its
// typical size and the size rule remembered for the type ("All files of this
// type"). The process-wide instance reads the database; tests may install
// their own.
#include <cstdint>
#include <string>

#include "fs/FoundObject.h"

namespace vx {

struct TypeSizeInfo {
    bool known = false;       // the object has a file type
    std::string name;         // the type's name as the dialogs show it
    int32_t typicalKb = 0;    // typical size in KB
    uint32_t rule = 0;        // remembered SizeRule, 0 for none
};

class IFileTypeSizes {
public:
    virtual ~IFileTypeSizes() = default;
    virtual TypeSizeInfo Lookup(const FoundObject& object) = 0;
    virtual void SetRule(const FoundObject& object, uint32_t rule) = 0;
    virtual void SetTypicalSize(const FoundObject& object, int32_t kb) = 0;
};

IFileTypeSizes& FileTypeSizes();
// Null restores the database-backed instance.
void SetFileTypeSizes(IFileTypeSizes* sizes);

}  // namespace vx
