#include "ui/app/CommandStates.h"

#include "ui/app/CommandTable.h"
#include "ui/app/Commands.h"

namespace vx {

namespace {
// The commands that act on the current found object.
constexpr int kObjectCommands[] = {ID_FILE_RECOVER, ID_FILE_TRY_OPEN, ID_FILE_RESET_SIZE, ID_FILE_SET_NEW_SIZE,
                                   ID_FILE_INFORMATION};
}  // namespace

CCommandStates::CCommandStates() {
    for (const CommandInfo& c : CommandTable())
        if (c.id > 0) states_[c.id] = CommandState{!c.later, false};
    // Nothing is chosen yet when the window opens.
    for (int id : kObjectCommands) states_[id].enabled = false;
}

void CCommandStates::Update(const CommandFacts& f) {
    const bool R = f.analysisRunning, D = f.driveSelected, O = f.objectCurrent;
    states_[ID_VIEW_TOOLBAR].checked = f.showToolbar;
    states_[ID_VIEW_STATUS_BAR].checked = f.showStatusBar;
    states_[ID_VIEW_LEGEND].checked = f.showLegend;

    states_[ID_DISK_RESCAN].enabled = !R;
    states_[ID_VIEW_SEARCH] = {!R, f.searchShown};
    if (D) {
        for (int id : kObjectCommands) states_[id].enabled = false;
    } else if (O) {
        states_[ID_FILE_RECOVER].enabled = !R;
        for (int id : kObjectCommands)
            if (id != ID_FILE_RECOVER) states_[id].enabled = true;
    }
    // Otherwise the five keep their previous state.
    states_[ID_DISK_SEARCH_LOST].enabled = D;
    states_[ID_DISK_START_ANALYZING].enabled = D && !R;
    states_[ID_DISK_STOP_ANALYZING].enabled = R;
    states_[ID_DISK_CREATE_IMAGE].enabled = D && !R;
    states_[ID_DISK_CREATE_VIRTUAL].enabled = D;
}

CommandState CCommandStates::Get(int id) const {
    auto it = states_.find(id);
    return it == states_.end() ? CommandState{} : it->second;
}

}  // namespace vx
