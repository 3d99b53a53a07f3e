#pragma once
// Paths of found objects inside their volume's tree, as the command-line
// tool and the tests show them: "/DOCS/OLD/report.txt" for an object below
// the root folder, "/Lost folders/lost_folder_1234/x.txt" for one below a
// lost folder, "/Lost files/Documents/doc_1048576.doc" for a lost file.
#include <string>

#include "fs/FoundObjectList.h"

namespace vx {

std::string ObjectPath(const CFoundObjectList& list, const FoundObject& record);
// True when the record lies below "Lost folders" or "Lost files".
bool IsLostObject(const CFoundObjectList& list, const FoundObject& record);

}  // namespace vx
