#pragma once
// The main window's commands: menu text, accelerator, prompt and image of
// each, read from the string table, and the order of the menus and the
// toolbar.
#include <QString>
#include <vector>

namespace vx {

struct CommandInfo {
    int id;
    const char* icon = nullptr;  // freedesktop icon name, also the fallback's file name
    bool checkable = false;
    bool later = false;          // its window arrives with a later version: always disabled
};

// Every command of the menus, in menu order; 0 stands for a separator and
// -1 for the start of the next menu.
const std::vector<CommandInfo>& CommandTable();
const CommandInfo* FindCommand(int id);
// Toolbar, left to right; 0 is a separator.
const std::vector<int>& ToolbarCommands();
// Menu captions in order (File, Disk, View, Options, Help).
std::vector<QString> MenuCaptions();

// The menu text without its accelerator, the accelerator ("Ctrl+R" or
// empty), the status tip and the tooltip, and the toolbar text.
QString MenuText(int id);
QString Accelerator(int id);
QString StatusTip(int id);
QString ToolTip(int id);
QString ToolbarText(int id);

}  // namespace vx
