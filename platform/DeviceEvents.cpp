#include "platform/DeviceEvents.h"

#include <fcntl.h>
#include <linux/netlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace vx {

bool ParseDeviceEvent(const char* data, size_t size, DeviceEvent& out) {
    std::string action, subsystem, devtype, devname;
    // The header line "action@devpath" comes first; the KEY=value fields follow.
    for (size_t at = 0; at < size;) {
        size_t len = strnlen(data + at, size - at);
        std::string field(data + at, len);
        at += len + 1;
        auto value = [&](const char* key) -> const char* {
            size_t n = std::strlen(key);
            return field.compare(0, n, key) == 0 ? field.c_str() + n : nullptr;
        };
        if (const char* v = value("ACTION=")) action = v;
        else if (const char* v2 = value("SUBSYSTEM=")) subsystem = v2;
        else if (const char* v3 = value("DEVTYPE=")) devtype = v3;
        else if (const char* v4 = value("DEVNAME=")) devname = v4;
    }
    if (subsystem != "block" || devname.empty()) return false;
    if (action != "add" && action != "remove") return false;
    if (devtype != "disk" && devtype != "partition") return false;
    if (size_t slash = devname.rfind('/'); slash != std::string::npos) devname = devname.substr(slash + 1);
    out.added = action == "add";
    out.kernelName = devname;
    out.partition = devtype == "partition";
    return true;
}

CDeviceEvents::~CDeviceEvents() { Stop(); }

bool CDeviceEvents::Start(Callback callback) {
    if (running_) return true;
    int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
    if (fd < 0) return false;
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = 1;  // the kernel's own broadcast group
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::pipe2(wake_, O_CLOEXEC) != 0) {
        ::close(fd);
        return false;
    }
    socket_ = fd;
    callback_ = std::move(callback);
    running_ = true;
    thread_ = std::thread([this] { ThreadBody(); });
    return true;
}

void CDeviceEvents::Stop() {
    if (!running_.exchange(false)) return;
    char byte = 0;
    if (::write(wake_[1], &byte, 1) < 0) { /* the poll times out anyway */ }
    if (thread_.joinable()) thread_.join();
    ::close(socket_);
    ::close(wake_[0]);
    ::close(wake_[1]);
    socket_ = wake_[0] = wake_[1] = -1;
}

void CDeviceEvents::ThreadBody() {
    char buffer[8192];
    while (running_) {
        pollfd fds[2] = {{socket_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 2, 1000) <= 0) continue;
        if (fds[1].revents) break;
        ssize_t n = ::recv(socket_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n <= 0) continue;
        DeviceEvent event;
        if (ParseDeviceEvent(buffer, size_t(n), event)) callback_(event);
    }
}

}  // namespace vx
