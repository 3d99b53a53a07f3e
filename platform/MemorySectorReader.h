#pragma once
// A sector reader over bytes held in memory. It reports the size the caller
// claims, which may lie far beyond the bytes it holds: reads past the bytes
// deliver zeros up to the claimed size, and nothing past it. The fuzzing
// harnesses read every parser's input through it (behind the reader factory),
// so a boot sector may claim a terabyte disk without the input holding one;
// wrapped in the faulty reader, the bytes past the input read as errors.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/SectorReader.h"

namespace vx {

std::unique_ptr<ISectorReader> MakeMemorySectorReader(std::shared_ptr<const std::vector<uint8_t>> bytes,
                                                      uint64_t claimedSize);

}  // namespace vx
