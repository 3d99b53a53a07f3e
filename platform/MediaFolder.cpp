#include "platform/MediaFolder.h"

#include <sys/stat.h>

#include <mutex>

#include "platform/Paths.h"

namespace vx {

namespace {
std::mutex g_mutex;
std::string g_override;

bool IsFolder(const std::string& path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
}  // namespace

void SetMediaFolder(const std::string& folder) {
    std::lock_guard lock(g_mutex);
    g_override = folder;
}

std::string MediaFolder() {
    {
        std::lock_guard lock(g_mutex);
        if (!g_override.empty()) return g_override;
    }
    std::string program = ProgramPath();
    std::string folder = program.substr(0, program.rfind('/'));
    std::string prefix = folder.substr(0, folder.rfind('/'));
    for (const std::string& candidate : {JoinPath(folder, "media"), JoinPath(prefix, "share/vornex/media")})
        if (IsFolder(candidate)) return candidate;
#ifdef VORNEX_SOURCE_MEDIA
    if (IsFolder(VORNEX_SOURCE_MEDIA)) return VORNEX_SOURCE_MEDIA;
#endif
    return JoinPath(folder, "media");
}

}  // namespace vx
