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
        {57116, "unknown"},
        {57118, "Folder"},
        {57123, "Analyse %s complete"},
        {57211, "Analyzing file system."},
        {57212, "Beginning file system analysis."},
        {57214, "No file system detected! File system analysis skipped."},
        {57311, "Analyzing drive sectors."},
        {57313, "Beginning drive sectors analysis, searching lost files."},
        {57664, "About..."},
        // Data viewer and hex view.
        {61201, "Memory"},
        {61202, "Offset"},
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
