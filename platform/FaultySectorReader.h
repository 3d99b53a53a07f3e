#pragma once
// A sector reader that fails reads touching chosen sectors: the command-line
// tool's hidden option for showing how unreadable media are handled on
// machines where no failing device (or device-mapper error target) exists.
#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "platform/SectorReader.h"

namespace vx {

// Wraps `inner`: a read that touches any sector of `bad` (absolute 512-byte
// sectors of the file or device), or any sector from `failFrom` on, fails
// with EIO.
std::unique_ptr<ISectorReader> MakeFaultySectorReader(std::unique_ptr<ISectorReader> inner,
                                                      std::shared_ptr<const std::set<uint64_t>> bad,
                                                      uint64_t failFrom = UINT64_MAX);

// Parses "7,100-103" into sectors; false on a malformed or oversized list.
bool ParseSectorList(const std::string& text, std::set<uint64_t>& out);

// From now on every reader opened for `path` fails on `bad`.
void InstallUnreadableSectors(const std::string& path, std::set<uint64_t> bad);

}  // namespace vx
