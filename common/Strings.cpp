#include "common/Strings.h"

#include <cstdio>
#include <unordered_map>
#include <vector>

namespace vx {

namespace {

// 64-bit arguments are written %lld here where the original texts show %I64d.
const std::unordered_map<int, const char*>& Table() {
    static const std::unordered_map<int, const char*> table = {
        {100, "About"},
        {132, "You are copying a large amount of data to the clipboard.\r\nAre you sure you wish to do this?"},
        {133, "Error"},
        {134, "Found file: %s"},
        {135, "Analyze time: %d minute(s), %d second(s)."},
        {136, "Analyze Finished. Found %d folder(s) and %d file(s)."},
        {137, "Calculating free clusters start"},
        {138, "Calculating free clusters end"},
        {139, "Analyse volume sectors started"},
        {348, "File Information"},
        {4352, "Lost folders"},
        {4865, "lost_file_%lld"},
        {5120, "Lost files"},
        {5376, "lost_folder_%d"},
        {32776, "Show or hide log"},
        {32787, "Recover selected files\nRecover selected files"},
        {32792, "Settings..."},
        {32809, "Try to open...\nTry to open..."},
        {32831, "Change file size"},
        {32845, "Set file size 'unknown'"},
        {57111, "Initializing drive %s"},
        {57112, "Aborting..."},
        {57113, "Operation aborted. Incomplete drive analysis!"},
        {57114, "Clear last drive analyze information..."},
        {57116, "unknown"},
        {57118, "Folder"},
        {57123, "Analyse %s complete"},
        {57211, "Analyzing file system."},
        {57212, "Beginning file system analysis."},
        {57214, "No file system detected! File system analysis skipped."},
        {57311, "Analyzing drive sectors."},
        {57313, "Beginning drive sectors analysis, searching lost files."},
        {57664, "About..."},

        // The desktop program: window, menus, prompts ("status tip\ntooltip").
        {128, "Vornex"},
        {57345, "Ready"},
        {32774, "Start drive analysis\nStart analyzing"},
        {32775, "Stop drive analysis\nStop analyzing"},
        {32781, "Rescan drives\nRescan drives"},
        {32782, "Save drive image to file\nCreate drive image"},
        {32783, "Load drive image from file\nLoad drive image"},
        {32784, "Create virtual drive\nCreate virtual drive"},
        {32791, "Search files\nSearch files"},
        {32794, "Show or hide tips of the day.\nToggle Tip Of The Day"},
        {32797, "Information...\nInformation..."},
        {32798, "Program settings\nProgram settings"},
        {32799, "Confirmations\nConfirmations"},
        {32800, "Drive Access\nDrive Access"},
        {32801, "Interface Language\nInterface Language"},
        {32802, "Common Settings\nCommon Settings"},
        {32803, "Filters\nFilters"},
        {32862, "Search Lost Disks"},
        {57670, "Press F1 for help.\nHelp"},
        {59392, "Show or hide tool bar\nToggle Tool Bar"},
        {59393, "Show or hide status bar\nToggle StatusBar"},
        {0x10000 + 32787, "Recover... \tCtrl+R"},
        {0x10000 + 32809, "Try To Open..."},
        {0x10000 + 32845, "R&eset Size"},
        {0x10000 + 32831, "Set &New Size..."},
        {0x10000 + 32797, "&Information...\tCtrl+I"},
        {0x10000 + 57665, "&Exit"},
        {0x10000 + 32774, "Start Analyzing"},
        {0x10000 + 32775, "Stop Analyzing"},
        {0x10000 + 32782, "Create Drive Image..."},
        {0x10000 + 32783, "Load Drive Image..."},
        {0x10000 + 32781, "Rescan Drives"},
        {0x10000 + 32862, "Search Lost Drives"},
        {0x10000 + 32791, "&Search"},
        {0x10000 + 32803, "Filters..."},
        {0x10000 + 32794, "Legend"},
        {0x10000 + 59392, "&Tool bar"},
        {0x10000 + 59393, "&Status Bar"},
        {0x10000 + 32798, "Settings...\tCtrl+P"},
        {0x10000 + 32802, "Common Settings..."},
        {0x10000 + 32799, "Confirmations..."},
        {0x10000 + 32829, "File Types..."},
        {0x10000 + 32810, "Temporary Folder..."},
        {0x10000 + 32800, "Drive Access..."},
        {0x10000 + 32811, "Logging..."},
        {0x10000 + 32801, "Interface Language..."},
        {0x10000 + 57670, "Contents\tF1"},
        {0x10000 + 32817, "Recovery Guide"},
        {0x10000 + 32818, "Search for Help on..."},
        {0x10000 + 57664, "&About..."},
        {0x20000 + 32774, "Analyze"},
        {0x20000 + 32781, "Rescan Drives"},
        {0x20000 + 32787, "Recover"},
        {0x20000 + 32791, "Search"},
        {0x30001, "Vornex for FAT"},
        {0x30002, "&File"},
        {0x30003, "&Disk"},
        {0x30004, "&View"},
        {0x30005, "&Options"},
        {0x30006, "&Help"},
        {0x30007, "Confirmation"},
        {0x30008, "Are you sure you want to exit the application?"},
        {0x30009, "Legend"},
        {0x3000B, "The data viewer is not built yet."},
        {0x3000C, "The New Signature Wizard is not built yet. Signature files can be added with: vornex /addsig FILE"},
        {0x3000D, "This user may not open the computer's drives, so drives are listed as Not Ready and "
                  "cannot be analysed. Drive images can be loaded and analysed as usual.\n\n"
                  "To analyse a drive, run the program as root, or as a member of the \"disk\" group."},
        {0x3000E, "Drives cannot be read: this user may not open block devices. Drive images can be analysed."},
        {0x3000F, "Version %s.%s Build %s"},
        {0x30010, "Finds deleted and lost files on FAT and NTFS drives and drive images, "
                  "and copies them to a folder of your choice. The source is only ever read."},
        {0x30011, "Vornex Help"},
        {0x30012, "Contents"},
        {0x30013, "Search for Help on..."},
        {0x30014, "No page mentions \"%s\"."},
        {0x30015, "Pages that mention \"%s\":"},
        {0x30016, "The help pages are missing: %s"},
        {0x30017, "Device arrived: %s"},
        {0x30018, "Device removed: %s"},
        {0x30019, "Program running."},
        {0x3001A, "Could not open the drive image %s"},
        {0x3001B, "Error"},
        {0x3001C, "Information"},
        {0x3001D, "Back"},
        {0x3001E, "Forward"},
        {0x3001F, "Contents"},
        {0x30020, "Search"},
        {0x30021, "Open the whole log as a text file"},
        {0x30022, "%s%%"},
        // Data viewer and hex view.
        {61201, "Memory"},
        {61202, "Offset"},
        {61203, "Status:"},
        {61204, "Id:"},
        {61205, "Parent Id:"},
        {61206, "Type:"},
        {61207, "Location:"},
        {61208, "Offset:"},
        {61209, "Size:"},
        {61210, "Size on disk:"},
        {61211, "Created time:"},
        {61212, "Modified time:"},
        {61213, "Accessed time:"},
        {61214, "Deleted"},
        {61215, "Live"},
        {61216, "Data viewer"},
        {61217, "Information"},
        {61218, "Data run list"},
        {61219, "Preview"},
        {61220, "Hex"},
        {61221, "no preview"},
        {61222, "Start sector"},
        {61223, "Sectors"},
        {61224, "Name:"},
        {61225, "(the first %d KB)"},
        {61240, "Settings"},
        {61241, "Common Settings"},
        {61242, "Confirmations"},
        {61243, "File Types"},
        {61244, "Temporary Folder"},
        {61245, "Drive Access"},
        {61246, "Logging"},
        {61247, "Interface Language"},
        {61248, "Show Splash screen at startup"},
        {61249, "Auto Check for updates and new versions every:"},
        {61250, "days"},
        {61251, "Confirm application shutdown"},
        {61252, "Confirm scan abort"},
        {61253, "Confirm recovery abort"},
        {61254, "Confirm file overwrite"},
        {61255, "Do not show warning message in \"Try to open\" "},
        {61256, "Read more about 'Try to open' feature in help."},
        {61257, "Below are the supported file types, you can select those you want the program to look for. In order to reduce the number of false positives, it is better to uncheck the extensions that are unlikely to have ever been on your computer. "},
        {61258, "Search results can be further filtered with View -> Filters… so that only the files you need will be shown."},
        {61259, "System default temporary folder"},
        {61260, "Custom temporary folder:"},
        {61261, "Browse..."},
        {61262, "Select New Temporary Folder"},
        {61263, "Retry attempts:"},
        {61264, "Pause between retry attempts:"},
        {61265, "ms."},
        {61266, "Increase if your medium is physically damaged."},
        {61267, "Use a pause between retries for old/unstable reading devices."},
        {61268, "Save log in file"},
        {61269, "Log file name:"},
        {61270, "Maximum log file size:"},
        {61271, "KB"},
        {61272, "Clear log file on start"},
        {61273, "Write log in system debug window"},
        {61274, "Language:"},
        {61275, "English"},
        {61276, "NOTE: After you have changed the interface language, the program must be restarted."},
        {61277, "Please press F1 to get more information about the localization of your copy of the program."},
        {61278, "Check All"},
        {61279, "Uncheck All"},
        {61280, "Restore Defaults"},
        {61281, "Properties..."},
        {61290, "File Format Properties"},
        {61291, "Description"},
        {61292, "Technical Info"},
        {61293, "Signature"},
        {61294, "Title:"},
        {61295, "Short description:"},
        {61296, "Desctiption url:"},
        {61297, "Category:"},
        {61298, "Typically file size (Kb):"},
        {61299, "Search Order:"},
        {61300, "Set 0 for maximal and 100 for minimal priority"},
        {61301, "Recovered name prefix:"},
        {61302, "File extentions:"},
        {61303, "Internal Format ID:"},
        {61304, "Coincidence (%):"},
        {61305, "Group:"},
        {61306, "New..."},
        {61307, "Signature Data"},
        {61308, "Signature Mask"},
        {61309, "Compare byte count from begin:"},
        {61310, "Check by bits"},
        {61311, "%d of %d"},
        {61312, "This signature tests more than fixed bytes at fixed offsets; it is shown as far as it can be and kept as it is."},
        {61320, "Creating Drive Image"},
        {61321, "Image file name:"},
        {61322, "Time:"},
        {61323, "Transfer speed:"},
        {61324, "Unreadable sectors:"},
        {61325, "%s KB\\s"},
        {61326, "The image is complete."},
        {61327, "The image is complete; %llu unreadable sector(s) were written as zeros."},
        {61328, "Stopped. The image file keeps what was copied so far."},
        {61329, "The drive could not be opened for reading."},
        {61330, "The image file could not be created: %s"},
        {61331, "The image file would lie on the drive being copied. Choose a folder on another drive."},
        {61332, "Writing the image file failed (is the destination full?). The file keeps what was copied."},
        {61333, "OK"},
        {61334, "Cancel"},
        {61335, "Image from drive %s"},
        {61336, "Image from drive %s (%s)"},
        {61337, "Drive Image Files ( *.dsk ) (*.dsk);;All Files ( *.* ) (*)"},
        {61338, "Create Virtual Drive"},
        {61339, "Start from:"},
        {61340, "Size:"},
        {61341, "0 GB"},
        {61342, "%d.%d GB"},
        {61343, "The range lies outside the drive."},
        {61344, "Enter the start and the size as numbers."},
    };
    return table;
}

}  // namespace

const char* LoadString(int id) {
    auto it = Table().find(id);
    return it == Table().end() ? "" : it->second;
}

std::string FormatV(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n <= 0) return {};
    std::vector<char> buf(size_t(n) + 1);
    std::vsnprintf(buf.data(), buf.size(), format, args);
    return std::string(buf.data(), size_t(n));
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string s = FormatV(format, args);
    va_end(args);
    return s;
}

std::string FormatResource(int id, ...) {
    va_list args;
    va_start(args, id);
    std::string s = FormatV(LoadString(id), args);
    va_end(args);
    return s;
}

}  // namespace vx
