#pragma once
// Where recovered files may go: never onto the device being read.
#include <string>

namespace vx {

class CVolume;

// True when the file system holding `folder` (or its nearest existing parent)
// lives on the volume's source device: the device itself, one of its
// partitions when the source is a whole disk, or a device stacked on them.
// An image file as source never matches.
bool DestinationOnSource(const CVolume& volume, const std::string& folder);

// The check a dialog makes before it starts a run: the folder (the
// destination folder setting when null) must not lie on the volume's device
// and is created one level deep when missing. 1 when it may be used. Unless
// quiet, a refusal is shown through the notifier.
int ValidateDestination(const CVolume* volume, const std::string* folder, bool quiet);

}  // namespace vx
