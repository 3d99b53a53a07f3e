#pragma once
// The hash of a sector source's whole media, to check the acquisition hash
// an image container stores.
#include <atomic>
#include <string>

#include "platform/SectorReader.h"

namespace vx {

// Hex digest of every byte of `reader` with `algorithm` ("MD5" or "SHA1");
// empty when the algorithm is unknown, a read fails or `running` clears.
std::string MediaHash(ISectorReader& reader, const std::string& algorithm, const std::atomic<bool>* running = nullptr);

}  // namespace vx
