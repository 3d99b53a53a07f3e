#pragma once
// Which commands are enabled and which carry a check mark. Recomputed in the
// main window's idle pass from a few facts about the program's state; the
// menu and the toolbar follow the table.
#include <map>

namespace vx {

struct CommandFacts {
    bool analysisRunning = false;  // R
    bool driveSelected = false;    // D: a drive (not a found object) is selected in the tree
    bool objectCurrent = false;    // O: a found object is current in the explorer
    bool searchShown = false;
    bool showToolbar = true;
    bool showStatusBar = true;
    bool showLegend = true;
};

struct CommandState {
    bool enabled = true;
    bool checked = false;
};

class CCommandStates {
public:
    CCommandStates();
    void Update(const CommandFacts& facts);
    CommandState Get(int id) const;
    bool Enabled(int id) const { return Get(id).enabled; }
    bool Checked(int id) const { return Get(id).checked; }

private:
    std::map<int, CommandState> states_;
};

}  // namespace vx
