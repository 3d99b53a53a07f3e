#pragma once
// Arrival and removal of block devices, as the kernel announces them on its
// uevent netlink socket. A thread of its own reads the socket and hands each
// event to a callback; the callback runs on that thread.
#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace vx {

struct DeviceEvent {
    bool added = false;       // false: removed
    std::string kernelName;   // "sdb", "sdb1", "mmcblk0p1"
    bool partition = false;
};

// Parses one kernel uevent datagram ("add@/devices/...\0ACTION=add\0..."):
// true for the addition or removal of a disk or partition.
bool ParseDeviceEvent(const char* data, size_t size, DeviceEvent& out);

class CDeviceEvents {
public:
    using Callback = std::function<void(const DeviceEvent&)>;
    CDeviceEvents() = default;
    ~CDeviceEvents();
    CDeviceEvents(const CDeviceEvents&) = delete;
    CDeviceEvents& operator=(const CDeviceEvents&) = delete;

    // Opens the socket and starts the thread. False (and nothing started)
    // when the socket cannot be opened, as in some containers.
    bool Start(Callback callback);
    void Stop();

private:
    void ThreadBody();
    int socket_ = -1;
    int wake_[2] = {-1, -1};
    std::atomic<bool> running_{false};
    std::thread thread_;
    Callback callback_;
};

}  // namespace vx
