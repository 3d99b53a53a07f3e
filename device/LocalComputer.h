#pragma once
// CLocalComputer: the computer object. It hands out volume ids and owns the
// drive list.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace vx {

class CVolume;

class CLocalComputer {
public:
    CLocalComputer();
    ~CLocalComputer();

    // Volume ids: a counter that starts at -30 and is decremented before each
    // use, so the first id is -31.
    int32_t NextId() { return --idCounter_; }

    // A volume for a path the user named: an image file (kind Image, drive
    // type 7), a whole disk (Physical) or a partition (Logical), with a new id
    // and its size filled. Not added to the drive list; null when the path is
    // neither a file nor a block device.
    std::unique_ptr<CVolume> OpenSource(const std::string& path);

private:
    std::atomic<int32_t> idCounter_{-30};
};

// The computer object of the process.
CLocalComputer& Computer();

}  // namespace vx
