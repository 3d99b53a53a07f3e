#pragma once
// The Create Drive Image and Create Virtual Drive commands on a selected
// volume, as the explorer runs them.
class QWidget;

namespace vx {

class CVolume;

// Save dialog, the copy with its "Creating Drive Image" dialog, and, when
// the copy finished, the image loaded as a drive. True when an image was loaded.
bool CreateDriveImage(QWidget* owner, CVolume& volume);
// The "Create Virtual Drive" dialog; true when a virtual drive was added.
bool CreateVirtualDrive(QWidget* owner, CVolume& volume);

}  // namespace vx
