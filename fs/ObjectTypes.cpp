#include "fs/ObjectTypes.h"

namespace vx {

// Until the file-type database is linked in, no record has a known type.
bool LookupObjectType(const FoundObject&, ObjectTypeInfo&) { return false; }

}  // namespace vx
