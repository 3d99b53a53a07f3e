#pragma once
// The texts the explorer's lists show for a found object.
#include <QString>
#include <cstdint>

namespace vx {

struct FoundObject;

// " Size ": empty for a folder, "unknown" for an unknown size, else the size
// in GB, MB or KB (rounded down) once it is above the unit, else in bytes.
QString SizeText(const FoundObject& object);
QString SizeText(uint64_t size, bool folder);
// A Windows file time as the user's short date and time in local time;
// empty for 0.
QString DateText(uint64_t fileTime);
// DateText, or "unknown" for 0.
QString DateTextOrUnknown(uint64_t fileTime);
QString NameText(const FoundObject& object);

}  // namespace vx
