#pragma once
// What every harness shares: a process set up so that nothing of the user's
// is touched (configuration and registry in a temporary folder, no retries
// or pauses on read errors), the in-memory source a harness's input becomes,
// and the checks that must hold whatever the input.
//
// Input of the volume harnesses: a 4-byte frame, then the image.
//   byte 0  bit 0: bytes past the image are unreadable (else they read as zeros)
//           bit 1: the sector named by bytes 2-3 is unreadable
//           bit 2: recover the objects found below a temporary folder
//   byte 1  9..44: the source claims 2^n bytes (up to 16 TiB); else the image's size
//   byte 2-3  little-endian sector number for bit 1
// Inputs shorter than the frame are taken as an image with a zero frame.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vx {
class CVolume;
struct FoundObject;
}  // namespace vx

namespace vx::fuzz {

// Once per process: temporary configuration folder, silent notifier, default
// settings with no read retries. Returns the temporary folder.
const std::string& Setup();
// After each input: forgets the log lines and the volumes the computer
// object collected, so memory stays flat over millions of inputs.
void EndInput();

inline constexpr uint8_t kTailUnreadable = 1;
inline constexpr uint8_t kSectorUnreadable = 2;
inline constexpr uint8_t kRecover = 4;
inline constexpr size_t kFrameSize = 4;

struct Frame {
    uint8_t flags = 0;
    uint64_t claimedSize = 0;
    uint64_t badSector = 0;
    std::shared_ptr<const std::vector<uint8_t>> image;
};
Frame ParseFrame(const uint8_t* data, size_t size, uint64_t maxClaim = uint64_t(1) << 44);

// Installs the frame as the source behind the reader factory for the path
// MemoryPath() and returns an image volume over it, open, with its size
// from the source (not in the computer's list, so partitions it holds are
// not added as volumes) and its boot sector parsed.
const char* MemoryPath();
void InstallSource(const Frame& frame);
std::unique_ptr<CVolume> OpenMemoryVolume(const Frame& frame);

// Strict UTF-8: no overlong forms, surrogates or code points past U+10FFFF.
bool ValidUtf8(std::string_view text);

// Aborts (a finding) with `what` when `condition` does not hold.
void Require(bool condition, const char* what);

// The file-system and scan checks over a volume's collection: every object
// starts inside the volume and its size is not past the volume's end (files
// found by content: start + size within the volume), every name is valid
// UTF-8. Returns the files found. NTFS passes false for the size: a sparse
// file may be larger than its volume.
std::vector<FoundObject*> CheckCollection(CVolume& volume, bool sizesWithinVolume = true);

// Reads every file through the volume's recovery read (the analyser's
// FileRead): the head and the tail of each, up to `maxFiles` files, and checks
// that no read delivers more than asked.
void ReadFiles(CVolume& volume, const std::vector<FoundObject*>& files, size_t maxFiles = 64);

// Recovers the collection's objects of at most `maxBytes` each into a fresh
// folder below the temporary folder and checks that nothing appeared beside
// it; the folder is removed afterwards.
void CheckRecovery(CVolume& volume, uint64_t maxBytes = 256 * 1024, size_t maxObjects = 32);

}  // namespace vx::fuzz
