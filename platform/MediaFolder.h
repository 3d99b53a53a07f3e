#pragma once
// The program's "media" folder (help pages, the legend): beside the program,
// in the installed share folder (PREFIX/share/vornex/media for PREFIX/bin/vornex),
// or, for a program run from its build tree, in the source tree.
#include <string>

namespace vx {

std::string MediaFolder();
// Tests and the screenshot run point the program at another folder.
void SetMediaFolder(const std::string& folder);

}  // namespace vx
