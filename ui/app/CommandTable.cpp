#include "ui/app/CommandTable.h"

#include "common/Strings.h"
#include "ui/app/Commands.h"

namespace vx {

const std::vector<CommandInfo>& CommandTable() {
    static const std::vector<CommandInfo> table = {
        {ID_FILE_RECOVER, "document-save"},
        {ID_FILE_TRY_OPEN, "document-open"},
        {ID_FILE_RESET_SIZE},
        {ID_FILE_SET_NEW_SIZE},
        {ID_FILE_INFORMATION},
        {0},
        {ID_APP_EXIT, "application-exit"},
        {-1},
        {ID_DISK_START_ANALYZING, "media-playback-start"},
        {ID_DISK_STOP_ANALYZING, "process-stop"},
        {0},
        {ID_DISK_CREATE_IMAGE},
        {ID_DISK_CREATE_VIRTUAL},
        {ID_DISK_LOAD_IMAGE},
        {0},
        {ID_DISK_RESCAN, "view-refresh"},
        {ID_DISK_SEARCH_LOST, "system-search"},
        {-1},
        {ID_VIEW_SEARCH, "edit-find", true},
        {ID_VIEW_FILTERS},
        {0},
        {ID_VIEW_LEGEND, nullptr, true},
        {ID_VIEW_TOOLBAR, nullptr, true},
        {ID_VIEW_STATUS_BAR, nullptr, true},
        {-1},
        {ID_OPTIONS_SETTINGS, "preferences-system"},
        {0},
        {ID_OPTIONS_COMMON},
        {ID_OPTIONS_CONFIRMATIONS},
        {ID_OPTIONS_FILE_TYPES},
        {ID_OPTIONS_TEMP_FOLDER},
        {ID_OPTIONS_DRIVE_ACCESS},
        {ID_OPTIONS_LOGGING},
        {ID_OPTIONS_LANGUAGE},
        {-1},
        {ID_HELP_CONTENTS, "help-browser"},
        {ID_HELP_RECOVERY_GUIDE},
        {ID_HELP_SEARCH},
        {0},
        {ID_APP_ABOUT, "help-about"},
    };
    return table;
}

const CommandInfo* FindCommand(int id) {
    for (const CommandInfo& c : CommandTable())
        if (c.id == id) return &c;
    return nullptr;
}

const std::vector<int>& ToolbarCommands() {
    static const std::vector<int> toolbar = {
        ID_DISK_START_ANALYZING, ID_DISK_STOP_ANALYZING, ID_DISK_RESCAN, 0, ID_FILE_RECOVER, ID_VIEW_SEARCH, 0,
        ID_OPTIONS_SETTINGS,     0,                      ID_HELP_CONTENTS, ID_APP_ABOUT,
    };
    return toolbar;
}

std::vector<QString> MenuCaptions() {
    return {LoadString(str::MenuFile), LoadString(str::MenuDisk), LoadString(str::MenuView),
            LoadString(str::MenuOptions), LoadString(str::MenuHelp)};
}

QString MenuText(int id) {
    return QString::fromUtf8(LoadString(str::MenuTextBase + id)).section('\t', 0, 0);
}

QString Accelerator(int id) {
    return QString::fromUtf8(LoadString(str::MenuTextBase + id)).section('\t', 1, 1);
}

QString StatusTip(int id) { return QString::fromUtf8(LoadString(id)).section('\n', 0, 0); }

QString ToolTip(int id) {
    const QString prompt = QString::fromUtf8(LoadString(id));
    if (prompt.contains('\n')) return prompt.section('\n', 1, 1);
    QString text = MenuText(id);
    return text.remove('&').trimmed();
}

QString ToolbarText(int id) { return QString::fromUtf8(LoadString(str::ToolbarTextBase + id)); }

}  // namespace vx
