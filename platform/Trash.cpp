#include "platform/Trash.h"

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/DesktopAssociation.h"
#include "platform/Paths.h"

namespace vx {

namespace {

constexpr size_t kMaxItems = 100000;
constexpr std::streamsize kMaxInfoBytes = 64 * 1024;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string PercentDecode(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%') {
            const int hi = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
            const int lo = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
            if (hi >= 0 && lo >= 0) {
                out += char(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

}  // namespace

std::vector<TrashItem> ListTrash(const std::string& dataHome) {
    const std::string trash = JoinPath(dataHome.empty() ? DataHomeFolder() : dataHome, "Trash");
    const std::string infoFolder = JoinPath(trash, "info"), filesFolder = JoinPath(trash, "files");
    std::vector<TrashItem> items;
    DIR* dir = ::opendir(infoFolder.c_str());
    if (!dir) return items;
    const std::string suffix = ".trashinfo";
    while (dirent* entry = ::readdir(dir)) {
        if (items.size() >= kMaxItems) break;
        const std::string infoName = entry->d_name;
        if (infoName.size() <= suffix.size() || infoName.compare(infoName.size() - suffix.size(), suffix.size(), suffix))
            continue;
        std::ifstream in(JoinPath(infoFolder, infoName), std::ios::binary);
        std::string text(size_t(kMaxInfoBytes) + 1, '\0');
        in.read(text.data(), kMaxInfoBytes + 1);
        if (in.gcount() > kMaxInfoBytes) continue;
        text.resize(size_t(in.gcount()));
        TrashItem item;
        item.name = infoName.substr(0, infoName.size() - suffix.size());
        item.file = JoinPath(filesFolder, item.name);
        std::istringstream lines(text);
        bool inSection = false;
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty() && line[0] == '[') inSection = line == "[Trash Info]";
            else if (inSection && line.rfind("Path=", 0) == 0) item.originalPath = PercentDecode(line.substr(5));
            else if (inSection && line.rfind("DeletionDate=", 0) == 0) item.deletionDate = line.substr(13);
        }
        if (item.originalPath.empty()) continue;
        // A relative path is relative to the folder holding the Trash.
        if (item.originalPath[0] != '/') item.originalPath = JoinPath(dataHome.empty() ? DataHomeFolder() : dataHome, item.originalPath);
        items.push_back(std::move(item));
    }
    ::closedir(dir);
    std::sort(items.begin(), items.end(), [](const TrashItem& a, const TrashItem& b) { return a.name < b.name; });
    return items;
}

}  // namespace vx
