#pragma once
// Well-known folders of a Linux desktop.
#include <string>

namespace vx {

std::string HomeFolder();
// $TMPDIR, else /tmp.
std::string TemporaryFolder();
// $XDG_CONFIG_HOME/vornex, else ~/.config/vornex. Not created here.
std::string ConfigFolder();
// Full path of the running program (/proc/self/exe).
std::string ProgramPath();
std::string JoinPath(const std::string& folder, const std::string& name);
// Creates the folder and its parents (mode 0700 for new ones). 1/0.
int MakeFolders(const std::string& path);

}  // namespace vx
