#include "platform/Paths.h"

#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace vx {

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

std::string TemporaryFolder() {
    if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp) return tmp;
    return "/tmp";
}

std::string ConfigFolder() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) return JoinPath(xdg, "vornex");
    return JoinPath(JoinPath(HomeFolder(), ".config"), "vornex");
}

std::string ProgramPath() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return std::string(buf, size_t(n));
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

int MakeFolders(const std::string& path) {
    if (path.empty()) return 0;
    std::string partial;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (partial.empty()) continue;
        if (mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return 0;
    }
    struct stat st{};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? 1 : 0;
}

}  // namespace vx
