#include "platform/Shell.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <thread>

extern char** environ;

namespace vx {

namespace {

std::mutex g_mutex;
std::function<OpenResult(const std::string&)> g_handler;

OpenResult RunXdgOpen(const std::string& path) {
    pid_t pid;
    const char* argv[] = {"xdg-open", path.c_str(), nullptr};
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        return OpenResult::Failed;
    // xdg-open hands over to the viewer and ends quickly; exit status 3 means
    // no program handles the type. A viewer that keeps it running is success.
    for (int i = 0; i < 50; ++i) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return OpenResult::Opened;
            if (WIFEXITED(status) && WEXITSTATUS(status) == 3) return OpenResult::NoApplication;
            return OpenResult::Failed;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::thread([pid] { int s; waitpid(pid, &s, 0); }).detach();
    return OpenResult::Opened;
}

}  // namespace

OpenResult OpenWithAssociatedProgram(const std::string& path) {
    std::function<OpenResult(const std::string&)> handler;
    {
        std::lock_guard lock(g_mutex);
        handler = g_handler;
    }
    return handler ? handler(path) : RunXdgOpen(path);
}

void SetOpenHandler(std::function<OpenResult(const std::string&)> handler) {
    std::lock_guard lock(g_mutex);
    g_handler = std::move(handler);
}

}  // namespace vx
