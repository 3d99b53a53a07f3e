#pragma once
// The sector scan of the analysis's sector phase: runs the scan over the
// whole volume with the file-type database and hands every match to the
// phase's add hook (OnScanFound, fs/Analysis.h), one at a time.
#include <cstdint>

namespace vx {

class CVolume;

// Returns the number of sectors that could not be read and were scanned as
// zeros (also kept in the volume's unreadableSectors and logged).
uint64_t RunSectorScan(CVolume& volume);

}  // namespace vx
