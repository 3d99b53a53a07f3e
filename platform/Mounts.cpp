#include "platform/Mounts.h"

#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace vx {

namespace {

// mountinfo writes space, tab, newline and backslash as \ooo.
std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size()) {
            int value = 0;
            bool octal = true;
            for (size_t k = 1; k <= 3; ++k) {
                char c = text[i + k];
                if (c < '0' || c > '7') { octal = false; break; }
                value = value * 8 + (c - '0');
            }
            if (octal) {
                out += char(value);
                i += 3;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

bool Better(const MountEntry& candidate, const MountEntry& current) {
    return candidate.root == "/" && current.root != "/";
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(const std::string& text) {
    std::vector<MountEntry> entries;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string id, parentId, numbers, root, mountPoint, field;
        if (!(fields >> id >> parentId >> numbers >> root >> mountPoint)) continue;
        // Optional fields run up to the lone "-".
        bool separator = false;
        while (fields >> field)
            if (field == "-") { separator = true; break; }
        MountEntry entry;
        if (!separator || !(fields >> entry.fsType >> entry.source)) continue;
        unsigned maj = 0, min = 0;
        if (std::sscanf(numbers.c_str(), "%u:%u", &maj, &min) != 2) continue;
        entry.device = makedev(maj, min);
        entry.root = Unescape(root);
        entry.mountPoint = Unescape(mountPoint);
        entry.source = Unescape(entry.source);
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<MountEntry> ReadMountInfo(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return ParseMountInfo(text.str());
}

namespace {

template <typename Match>
bool FindMountWhere(Match match, MountEntry& out) {
    bool found = false;
    for (const MountEntry& e : ReadMountInfo()) {
        if (!match(e)) continue;
        if (!found || Better(e, out)) out = e;
        found = true;
    }
    return found;
}

}  // namespace

bool FindMount(dev_t device, MountEntry& out) {
    return FindMountWhere([&](const MountEntry& e) { return e.device == device; }, out);
}

bool FindMountBySource(const std::string& devicePath, MountEntry& out) {
    return FindMountWhere([&](const MountEntry& e) { return e.source == devicePath; }, out);
}

bool QuerySpace(const std::string& mountPoint, SpaceInfo& out) {
    struct statvfs st{};
    if (::statvfs(mountPoint.c_str(), &st) != 0) return false;
    out.totalBytes = uint64_t(st.f_blocks) * st.f_frsize;
    out.freeBytes = uint64_t(st.f_bavail) * st.f_frsize;
    return true;
}

}  // namespace vx
