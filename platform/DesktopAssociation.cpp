#include "platform/DesktopAssociation.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <vector>

#include "platform/Paths.h"

extern char** environ;

namespace vx {

namespace {

bool WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return bool(out.flush());
}

// Runs a tool found on PATH with its arguments and waits; false when it is
// not installed or fails.
bool RunTool(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int started = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Desktop entry values: a path with blanks or quotes goes in double quotes.
std::string QuoteExec(const std::string& path) {
    std::string out = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

}  // namespace

std::string DataHomeFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg == '/') return xdg;
    return JoinPath(HomeFolder(), ".local/share");
}

int RegisterSignatureFileAssociation(const std::string& programPath) {
    const std::string data = DataHomeFolder();
    const std::string mime = JoinPath(data, "mime"), packages = JoinPath(mime, "packages");
    const std::string applications = JoinPath(data, "applications");
    if (!MakeFolders(packages) || !MakeFolders(applications)) return 0;
    const bool mimeWritten = WriteText(JoinPath(packages, "quillon-filesignature.xml"),
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
        "  <mime-type type=\"" + std::string(kSignatureMimeType) + "\">\n"
        "    <comment>Quillon File Signature</comment>\n"
        "    <glob pattern=\"*.filesig\"/>\n"
        "  </mime-type>\n"
        "</mime-info>\n");
    const bool entryWritten = WriteText(JoinPath(applications, "quillon-filesignature.desktop"),
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Vornex signature import\n"
        "Comment=Adds a file signature to Vornex's file types\n"
        "Exec=" + QuoteExec(programPath) + " /addsig %f\n"
        "MimeType=" + std::string(kSignatureMimeType) + ";\n"
        "NoDisplay=true\n"
        "Terminal=false\n");
    RunTool({"update-mime-database", mime});
    RunTool({"update-desktop-database", applications});
    return mimeWritten && entryWritten ? 1 : 0;
}

}  // namespace vx
