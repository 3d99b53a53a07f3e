#pragma once
// Sector sources inside image containers: split raw images (NAME.001,
// NAME.002, ... read as one), Expert Witness (E01) images through libewf,
// VHD and VHDX through libvhdi, VMDK through libvmdk and QCOW2 through
// libqcow. The kind is picked by content (the libraries' signature checks);
// a split raw image, which has no signature, by its first part's name.
// Every container is opened for reading only.
#include <memory>
#include <string>

#include "platform/SectorReader.h"

namespace vx {

// The container reader for `path`, or null when the file is no container
// (then `*error` stays empty) or a container that cannot be opened (then it
// says why).
std::unique_ptr<ISectorReader> OpenContainerSectorReader(const std::string& path, std::string* error);

}  // namespace vx
