#pragma once
// Helpers of the NTFS tests: hand-made MFT records (with their update
// sequence), writing them into a real mkntfs image, and running the analyser
// over an image with its objects collected.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "device/Volume.h"
#include "fs/FileSystem_NTFS.h"
#include "fs/FoundObject.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "common/Bytes.h"
#include "common/Text.h"
#include "device/LocalComputer.h"
#include "fs/AnalysisState.h"
#include "tests/support/TestSupport.h"

namespace vx::test {

struct ListEntry {
    uint32_t type;
    uint64_t record;
    uint64_t startVcn = 0;
};

class RecordBuilder {
public:
    explicit RecordBuilder(uint16_t flags = 0x0001, uint32_t size = 1024);
    RecordBuilder& StdInfo(uint64_t created, uint64_t modified, uint64_t accessed);
    RecordBuilder& FileName(uint32_t parent, const std::string& name, uint8_t nameSpace, uint64_t size = 0);
    RecordBuilder& ResidentData(const std::string& bytes);
    RecordBuilder& NonResidentData(const std::vector<uint8_t>& pairs, uint64_t size, uint64_t lowestVcn = 0,
                                   uint16_t flags = 0, uint8_t unitLog = 0);
    RecordBuilder& NonResident(uint32_t type, const std::vector<uint8_t>& pairs, uint64_t size, uint64_t lowestVcn = 0,
                               uint16_t flags = 0, uint8_t unitLog = 0);
    RecordBuilder& AttributeList(const std::vector<ListEntry>& entries);
    // The bytes of an attribute list's value.
    static std::vector<uint8_t> ListValue(const std::vector<ListEntry>& entries);
    // Any attribute bytes, taken as they are.
    RecordBuilder& Raw(const std::vector<uint8_t>& attribute);
    RecordBuilder& BaseRecord(uint64_t base);
    // The record image with its end marker and update sequence applied.
    std::vector<uint8_t> Build(uint32_t number, uint16_t sequence = 0x0042) const;

private:
    std::vector<uint8_t> Resident(uint32_t type, const std::vector<uint8_t>& value) const;
    uint16_t flags_;
    uint32_t size_;
    uint64_t base_ = 0;
    std::vector<std::vector<uint8_t>> attributes_;
};

// A small mkntfs image (4 KiB clusters) whose spare MFT records 16..23 and
// free clusters from `kFreeCluster` on take crafted contents (records
// 24..26 hold $Extend files, so 16..23 are the ones to use).
class CraftedImage {
public:
    static constexpr uint64_t kFreeCluster = 800;
    explicit CraftedImage(const std::string& path, const std::string& mkntfsOptions = "-c 4096");
    void PutRecord(uint32_t number, const std::vector<uint8_t>& image);
    void PutBytes(uint64_t position, const std::string& bytes);
    uint32_t clusterSize() const { return clusterSize_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    uint64_t mftPosition_ = 0;
    uint32_t clusterSize_ = 0;
};

// One analysed image: the volume, its analyser and the objects it reported
// (names copied).
struct Analysis {
    std::unique_ptr<CVolume> volume;
    CFileSystem_NTFS* fs = nullptr;
    std::vector<FoundObject> objects;
    std::vector<std::string> names;

    const FoundObject* ById(int32_t id) const;
    // "Docs/Nested/x.txt" -> object; the path is built through parent ids.
    const FoundObject* ByPath(const std::string& path) const;
    std::string PathOf(const FoundObject& object) const;
    std::string NameOf(const FoundObject& object) const;
    // Every byte FileRead delivers, read as recovery reads (2 MiB pieces).
    std::string ReadAll(const FoundObject& object) const;
};

Analysis Analyse(const std::string& imagePath);

// Mapping pairs for runs given as (length, absolute cluster or -1 for sparse).
std::vector<uint8_t> Pairs(const std::vector<std::pair<uint64_t, int64_t>>& runs);


inline void Put(std::vector<uint8_t>& v, size_t at, uint64_t value, int width) {
    if (v.size() < at + width) v.resize(at + width);
    for (int i = 0; i < width; ++i) v[at + i] = uint8_t(value >> (8 * i));
}

inline std::vector<uint8_t> Utf16(const std::string& text) {
    std::u16string u = Utf8ToUtf16(text);
    std::vector<uint8_t> out;
    for (char16_t c : u) {
        out.push_back(uint8_t(c));
        out.push_back(uint8_t(c >> 8));
    }
    return out;
}

inline void Pad8(std::vector<uint8_t>& v) { v.resize((v.size() + 7) / 8 * 8, 0); }


inline RecordBuilder::RecordBuilder(uint16_t flags, uint32_t size) : flags_(flags), size_(size) {}

inline std::vector<uint8_t> RecordBuilder::Resident(uint32_t type, const std::vector<uint8_t>& value) const {
    std::vector<uint8_t> a(24 + value.size(), 0);
    Put(a, 0, type, 4);
    Put(a, 16, value.size(), 4);
    Put(a, 20, 24, 2);
    std::copy(value.begin(), value.end(), a.begin() + 24);
    Pad8(a);
    Put(a, 4, a.size(), 4);
    return a;
}

inline RecordBuilder& RecordBuilder::StdInfo(uint64_t created, uint64_t modified, uint64_t accessed) {
    std::vector<uint8_t> v(48, 0);
    Put(v, 0, created, 8);
    Put(v, 8, modified, 8);
    Put(v, 16, modified, 8);
    Put(v, 24, accessed, 8);
    attributes_.push_back(Resident(0x10, v));
    return *this;
}

inline RecordBuilder& RecordBuilder::FileName(uint32_t parent, const std::string& name, uint8_t nameSpace, uint64_t size) {
    std::vector<uint8_t> units = Utf16(name);
    std::vector<uint8_t> v(66, 0);
    Put(v, 0, parent | (uint64_t(1) << 48), 8);
    Put(v, 40, size, 8);
    Put(v, 48, size, 8);
    v[64] = uint8_t(units.size() / 2);
    v[65] = nameSpace;
    v.insert(v.end(), units.begin(), units.end());
    attributes_.push_back(Resident(0x30, v));
    return *this;
}

inline RecordBuilder& RecordBuilder::ResidentData(const std::string& bytes) {
    attributes_.push_back(Resident(0x80, std::vector<uint8_t>(bytes.begin(), bytes.end())));
    return *this;
}

inline RecordBuilder& RecordBuilder::NonResidentData(const std::vector<uint8_t>& pairs, uint64_t size, uint64_t lowestVcn,
                                              uint16_t flags, uint8_t unitLog) {
    return NonResident(0x80, pairs, size, lowestVcn, flags, unitLog);
}

inline RecordBuilder& RecordBuilder::NonResident(uint32_t type, const std::vector<uint8_t>& pairs, uint64_t size,
                                                 uint64_t lowestVcn, uint16_t flags, uint8_t unitLog) {
    std::vector<uint8_t> a(64, 0);
    Put(a, 0, type, 4);
    a[8] = 1;
    Put(a, 12, flags, 2);
    Put(a, 16, lowestVcn, 8);
    Put(a, 32, 64, 2);
    a[34] = unitLog;
    Put(a, 40, (size + 4095) / 4096 * 4096, 8);
    Put(a, 48, size, 8);
    Put(a, 56, size, 8);
    a.insert(a.end(), pairs.begin(), pairs.end());
    a.push_back(0);
    Pad8(a);
    Put(a, 4, a.size(), 4);
    attributes_.push_back(a);
    return *this;
}

inline std::vector<uint8_t> RecordBuilder::ListValue(const std::vector<ListEntry>& entries) {
    std::vector<uint8_t> v;
    for (const ListEntry& e : entries) {
        std::vector<uint8_t> entry(32, 0);
        Put(entry, 0, e.type, 4);
        Put(entry, 4, 32, 2);
        entry[7] = 26;
        Put(entry, 8, e.startVcn, 8);
        Put(entry, 16, e.record | (uint64_t(1) << 48), 8);
        v.insert(v.end(), entry.begin(), entry.end());
    }
    return v;
}

inline RecordBuilder& RecordBuilder::AttributeList(const std::vector<ListEntry>& entries) {
    attributes_.push_back(Resident(0x20, ListValue(entries)));
    return *this;
}

inline RecordBuilder& RecordBuilder::Raw(const std::vector<uint8_t>& attribute) {
    attributes_.push_back(attribute);
    return *this;
}

inline RecordBuilder& RecordBuilder::BaseRecord(uint64_t base) {
    base_ = base;
    return *this;
}

inline std::vector<uint8_t> RecordBuilder::Build(uint32_t number, uint16_t sequence) const {
    std::vector<uint8_t> r(size_, 0);
    const uint32_t strides = size_ / 512;
    std::memcpy(r.data(), "FILE", 4);
    Put(r, 4, 48, 2);                  // update sequence array
    Put(r, 6, strides + 1, 2);
    Put(r, 16, 1, 2);                  // sequence number of the record
    Put(r, 18, 1, 2);                  // link count
    const uint32_t first = (48 + 2 * (strides + 1) + 7) / 8 * 8;
    Put(r, 20, first, 2);
    Put(r, 22, flags_, 2);
    Put(r, 28, size_, 4);
    Put(r, 32, base_, 8);
    Put(r, 44, number, 4);
    size_t at = first;
    for (const auto& a : attributes_) {
        if (at + a.size() + 8 > size_) throw std::runtime_error("record too small for its attributes");
        std::memcpy(r.data() + at, a.data(), a.size());
        at += a.size();
    }
    Put(r, at, 0xFFFFFFFF, 4);
    Put(r, 24, at + 8, 4);
    // The update sequence: each stride's last word goes to the array, the
    // sequence number takes its place.
    Put(r, 48, sequence, 2);
    for (uint32_t i = 1; i <= strides; ++i) {
        const size_t word = i * 512 - 2;
        r[48 + 2 * i] = r[word];
        r[48 + 2 * i + 1] = r[word + 1];
        Put(r, word, sequence, 2);
    }
    return r;
}

inline CraftedImage::CraftedImage(const std::string& path, const std::string& options) : path_(path) {
    MustRun("truncate -s 4M " + Quote(path) + " && mkntfs -F -Q -q " + options + " " + Quote(path) + " 2>/dev/null");
    std::string boot = ReadFile(path).substr(0, 512);
    ByteSpan b(reinterpret_cast<const uint8_t*>(boot.data()), boot.size());
    clusterSize_ = le16(b, 11) * le8(b, 13);
    mftPosition_ = le64(b, 0x30) * clusterSize_;
}

inline void CraftedImage::PutBytes(uint64_t position, const std::string& bytes) {
    int fd = ::open(path_.c_str(), O_WRONLY);
    if (fd < 0 || ::pwrite(fd, bytes.data(), bytes.size(), off_t(position)) != ssize_t(bytes.size()))
        throw std::runtime_error("cannot write the crafted image");
    ::close(fd);
}

inline void CraftedImage::PutRecord(uint32_t number, const std::vector<uint8_t>& image) {
    PutBytes(mftPosition_ + uint64_t(number) * image.size(), std::string(image.begin(), image.end()));
}

inline const FoundObject* Analysis::ById(int32_t id) const {
    for (const FoundObject& o : objects)
        if (o.id == id) return &o;
    return nullptr;
}

inline std::string Analysis::NameOf(const FoundObject& object) const {
    return names[size_t(&object - objects.data())];
}

inline std::string Analysis::PathOf(const FoundObject& object) const {
    std::string path = NameOf(object);
    const FoundObject* at = &object;
    for (int depth = 0; depth < 64 && at->parent != 5; ++depth) {
        at = ById(at->parent);
        if (!at) return "?/" + path;
        path = NameOf(*at) + "/" + path;
    }
    return path;
}

inline const FoundObject* Analysis::ByPath(const std::string& path) const {
    for (const FoundObject& o : objects)
        if (PathOf(o) == path) return &o;
    return nullptr;
}

inline std::string Analysis::ReadAll(const FoundObject& object) const {
    constexpr uint32_t kChunk = 2u << 20;
    std::string out;
    std::vector<uint8_t> buffer(kChunk);
    for (uint64_t offset = 0; offset < object.size;) {
        const uint32_t want = uint32_t(std::min<uint64_t>(kChunk, object.size - offset));
        const uint32_t got = fs->FileRead(object, buffer.data(), offset, want);
        out.append(reinterpret_cast<const char*>(buffer.data()), got);
        if (got < want) break;
        offset += got;
    }
    return out;
}

inline Analysis Analyse(const std::string& imagePath) {
    Analysis a;
    a.volume = Computer().OpenSource(imagePath);
    if (!a.volume) throw std::runtime_error("cannot open " + imagePath);
    a.volume->typeCode = 7;
    a.volume->analyser = std::make_unique<CFileSystem_NTFS>(a.volume.get());
    a.fs = static_cast<CFileSystem_NTFS*>(a.volume->analyser.get());
    a.fs->objectSink = [&a](const FoundObject& o) {
        a.objects.push_back(o);
        a.names.emplace_back(o.name ? o.name : "");
    };
    // The analysis controller sets the running flag before an analyser runs.
    TheAnalysisState().running = 1;
    a.fs->ParseVolume();
    TheAnalysisState().running = 0;
    a.fs->objectSink = nullptr;
    for (size_t i = 0; i < a.objects.size(); ++i) a.objects[i].name = nullptr;
    return a;
}

inline std::vector<uint8_t> Pairs(const std::vector<std::pair<uint64_t, int64_t>>& runs) {
    std::vector<uint8_t> out;
    int64_t previous = 0;
    for (auto [length, cluster] : runs) {
        std::vector<uint8_t> len, off;
        for (uint64_t v = length; v; v >>= 8) len.push_back(uint8_t(v));
        if (cluster >= 0) {
            int64_t delta = cluster - previous;
            previous = cluster;
            // Shortest signed little-endian form.
            do {
                off.push_back(uint8_t(delta));
                delta >>= 8;
            } while (!((delta == 0 && !(off.back() & 0x80)) || (delta == -1 && (off.back() & 0x80))));
        }
        out.push_back(uint8_t(len.size() | (off.size() << 4)));
        out.insert(out.end(), len.begin(), len.end());
        out.insert(out.end(), off.begin(), off.end());
    }
    return out;
}

}  // namespace vx::test
