#pragma once
// Compound documents (OLE2 structured storage: .doc, .xls, .ppt, ...). They
// all share one header, so the sector scan recognises the family and then
// names the document's kind from the names of the streams in its directory.
#include <cstddef>
#include <cstdint>

#include "common/Bytes.h"

namespace vx {

class CVolume;
struct FoundObject;

namespace compound {
// Header fields, from the start of the document.
inline constexpr size_t SectorShift = 0x1E;        // 16 bits
inline constexpr size_t FatSectorCount = 0x2C;     // 32 bits
inline constexpr size_t FirstDirectorySector = 0x30;  // 32 bits

inline constexpr size_t EntrySize = 128;
inline constexpr size_t EntryNameBytes = 64;       // UTF-16LE, zero-terminated
inline constexpr size_t EntriesRead = 100;
inline constexpr size_t DirectoryReadSize = EntrySize * EntriesRead;  // 12800

// Sector shifts outside this range are not compound files we can place: a
// shift below 9 puts the directory off any sector boundary.
inline constexpr uint16_t MinSectorShift = 9;
inline constexpr uint16_t MaxSectorShift = 16;
}  // namespace compound

// Format ids of the family.
namespace compound_id {
inline constexpr int32_t Storage = 500;
inline constexpr int32_t Excel = 501;
inline constexpr int32_t Word = 502;
inline constexpr int32_t PowerPoint = 503;
inline constexpr int32_t Visio = 505;
inline constexpr int32_t Project = 506;
inline constexpr int32_t Publisher = 508;
inline constexpr int32_t Ichitaro = 520;
inline constexpr int32_t BodyText = 521;
inline constexpr int32_t Max3D = 522;
inline constexpr int32_t Flash = 523;
}  // namespace compound_id

// The kind of document a directory describes: the first of its first 100
// entries whose name is one of the known stream names decides. 500 when entry
// 0 is not the root entry or no entry decides.
int32_t ClassifyStreams(ByteSpan entries);

// Classifies the candidate whose first sector is `header`: sets its size from
// the allocation table's reach, reads its directory from `volume` at the
// candidate's start and returns the new format id; 0 when the directory cannot
// be read or the header cannot be a compound file (the candidate is dropped).
int32_t ClassifyCompound(CVolume& volume, FoundObject& candidate, ByteSpan header);

}  // namespace vx
