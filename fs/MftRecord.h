#pragma once
// CMftRecord: one MFT record image with the description of its data
// attribute (resident value, or runs with sizes and compression), and the
// reads of that data. Everything in the image is untrusted: every walk is
// bounded by the record and every run by the volume.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/Bytes.h"
#include "fs/FoundObject.h"

namespace vx {

class CFileSystem_NTFS;

struct DataRun {
    int64_t cluster = 0;     // volume cluster (LCN) of the run's first cluster
    uint64_t length = 0;     // clusters
    uint32_t sparse = 0;     // 1: no clusters behind the run, it reads as zeros
    uint64_t firstVcn = 0;
    uint64_t lastVcn = 0;    // firstVcn + length - 1
};

// Decodes mapping pairs into runs starting at `firstVcn`. A run that would
// reach beyond `totalClusters` (when not 0), a field wider than 8 bytes or a
// pair that runs past `pairs` ends the list; the runs before it stay.
// Returns false when the list ended that way rather than at its 0 byte.
bool DecodeRuns(ByteSpan pairs, uint64_t firstVcn, uint64_t totalClusters, std::vector<DataRun>& out);

// Adds the runs of `other` that overlap none of `list` and keeps `list` in
// VCN order.
void MergeRuns(std::vector<DataRun>& list, const std::vector<DataRun>& other);

class CMftRecord {
public:
    // `fs` gives the record size, the cluster geometry and the reads; null
    // for a record used on its own (the image's size, 4 KiB clusters, no reads).
    explicit CMftRecord(const CFileSystem_NTFS* fs);
    CMftRecord(const CFileSystem_NTFS* fs, ByteSpan image, int64_t number = -1);

    // Copies record-size bytes (fewer are zero-filled) and parses them. The
    // number is the record's place in the MFT, used to tell its extension
    // records from strangers; -1 takes the number the header states.
    int SetImage(ByteSpan image, int64_t number = -1);
    // 1 when the image begins "FILE" and its update sequence checks out
    // (the fixups are then applied), 0 otherwise.
    int Parse();
    bool Damaged() const { return damaged_; }

    // Offsets of attributes inside the image; nullopt when there is none.
    std::optional<uint32_t> FindAttribute(uint32_t type) const;
    std::optional<uint32_t> NextAttribute(uint32_t attribute, uint32_t type) const;

    // Follows the attribute list into the extension records and takes the
    // data attribute's extents (and, when the base record holds none of it,
    // its size and residency), the file names and the times from them.
    void LoadAttributeList();

    // Volume cluster of `vcn`, -1 when no run covers it or it is sparse.
    int64_t VcnToLcn(uint64_t vcn) const;
    // Copies up to `count` bytes of the data from `offset`, never past the
    // data size; sparse runs and bytes past the initialized size read as
    // zeros; compressed data is expanded. Returns the bytes copied; a short
    // count means the rest could not be read.
    uint32_t ReadData(int64_t offset, int64_t count, uint8_t* out) const;

    // Fills the times, parent, name and size of `t`; the name's UTF-8 text
    // goes to `name` (t.name is left to the caller). 1, or 0 on failure.
    int FillObject(FoundObject& t, std::string& name) const;

    // The record's names as a file system shows them: every file name of
    // the Win32 or POSIX name space, each with its folder (hard links), and a
    // DOS name only where no long name stands in its folder. In record order,
    // the base record's names first.
    struct Link {
        int32_t parent = 0;
        std::string name;
    };
    std::vector<Link> Links() const;

    ByteSpan Image() const { return image_; }
    uint16_t HeaderFlags() const;
    int64_t Number() const { return number_; }
    const std::vector<DataRun>& Runs() const { return runs_; }
    int64_t DataSize() const { return dataSize_; }
    bool NonResident() const { return nonResident_ != 0; }
    bool Compressed() const { return compressionUnit_ != 0; }
    // True when the record holds the start of its data attribute (or the
    // attribute list supplied it).
    bool HasData() const { return hasData_; }
    bool HasAttributeList() const;
    bool HasFileName() const;

private:
    uint32_t RecordSize() const;
    uint32_t BytesPerCluster() const;
    bool ApplyFixups();
    void ParseDataAttribute();
    // Takes one data attribute extent at `a` of `owner` (this record or one
    // of its extension records); the extent at VCN 0 carries the sizes.
    void TakeDataExtent(const CMftRecord& owner, uint32_t a);
    ByteSpan AttributeSpan(uint32_t a) const;
    ByteSpan ResidentValue(uint32_t a) const;
    bool ReadAttributeListValue(uint32_t a, std::vector<uint8_t>& out) const;
    void TakeExtension(const CMftRecord& extension, bool hadTimes);
    const DataRun* RunAt(uint64_t vcn) const;
    uint32_t ReadPlain(uint64_t offset, uint64_t count, uint8_t* out) const;
    uint32_t ReadCompressed(uint64_t offset, uint64_t count, uint8_t* out) const;
    bool ReadUnit(uint64_t unit, std::vector<uint8_t>& raw, std::vector<uint8_t>& out) const;

    const CFileSystem_NTFS* fs_;
    std::vector<uint8_t> image_;
    std::vector<DataRun> runs_;
    std::vector<uint8_t> resident_;      // a resident data value
    // Names and times that the attribute list found in extension records.
    std::vector<std::vector<uint8_t>> extraNames_;
    std::vector<uint8_t> extraTimes_;
    int64_t number_ = -1;
    int64_t dataSize_ = 0;
    int64_t initializedSize_ = 0;
    uint32_t standaloneSize_ = 0;        // record size of a record without analyser
    uint32_t compressionUnit_ = 0;       // clusters per compression unit; 0 when not compressed
    uint8_t nonResident_ = 0;
    bool hasData_ = false;
    bool damaged_ = false;
    bool fixed_ = false;                 // the fixups are applied
};

}  // namespace vx
