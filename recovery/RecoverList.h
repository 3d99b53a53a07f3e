#pragma once
// The recover list: the objects a selection expands to, in the order they
// are recovered.
#include <vector>

#include "fs/FoundObject.h"

namespace vx {

class CFoundObjectList;

// A volume node of the tree (its name slot holds a volume, not a name).
bool IsVolumeNode(const FoundObject& record);

// Every file below `folder`, depth first in child order; subfolders
// themselves are not added.
void AppendFilesBelow(const CFoundObjectList& collection, const FoundObject& folder, std::vector<FoundObject*>& out);

// The selection of the file list or the search results, in list order: a
// file is added itself; a folder adds every file below it, then itself.
std::vector<FoundObject*> BuildRecoverList(const CFoundObjectList& collection,
                                           const std::vector<FoundObject*>& selection);

// The drive tree's current item: a folder adds every file below it (not
// itself); anything else adds nothing.
std::vector<FoundObject*> BuildRecoverListFromTree(const CFoundObjectList& collection, FoundObject* current);

}  // namespace vx
