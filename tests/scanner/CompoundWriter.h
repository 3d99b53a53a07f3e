#pragma once
// Writes small but well-formed compound files (the container of .doc and
// .xls): header, one allocation-table sector, the directory and the streams,
// each stream at least the mini-stream cut-off long so that it lives in
// ordinary sectors.
#include <cstdint>
#include <string>
#include <vector>

#include "common/Bytes.h"

namespace vx::test {

struct CompoundStream {
    std::string name;   // ASCII
    std::string data;   // padded to 4096 bytes when shorter
};

struct CompoundOptions {
    uint16_t sectorShift = 9;   // 9 (version 3) or 12 (version 4)
    std::string rootName = "Root Entry";
};

inline std::string BuildCompoundFile(const std::vector<CompoundStream>& streams, CompoundOptions options = {}) {
    const uint32_t S = 1u << options.sectorShift;
    const uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kFatSect = 0xFFFFFFFD, kNoStream = 0xFFFFFFFF;
    const size_t entries = streams.size() + 1;
    const uint32_t dirSectors = uint32_t((entries * 128 + S - 1) / S);
    std::vector<std::string> bodies;
    std::vector<uint32_t> starts, counts;
    uint32_t next = 1 + dirSectors;  // sector 0: the allocation table, then the directory
    for (const CompoundStream& s : streams) {
        std::string body = s.data;
        if (body.size() < 4096) body.resize(4096, '\0');
        uint32_t n = uint32_t((body.size() + S - 1) / S);
        body.resize(size_t(n) * S, '\0');
        starts.push_back(next);
        counts.push_back(n);
        next += n;
        bodies.push_back(std::move(body));
    }
    const uint32_t totalSectors = next;
    if (totalSectors > S / 4) return {};  // one allocation-table sector is enough for test files

    std::string file(size_t(S) * (totalSectors + 1), '\0');
    auto* h = reinterpret_cast<uint8_t*>(file.data());
    const uint8_t magic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    for (int i = 0; i < 8; ++i) h[i] = magic[i];
    put16(h + 0x18, 0x3E);
    put16(h + 0x1A, options.sectorShift == 9 ? 3 : 4);
    put16(h + 0x1C, 0xFFFE);
    put16(h + 0x1E, options.sectorShift);
    put16(h + 0x20, 6);
    put32(h + 0x28, options.sectorShift == 9 ? 0 : dirSectors);
    put32(h + 0x2C, 1);          // allocation-table sectors
    put32(h + 0x30, 1);          // first directory sector
    put32(h + 0x38, 4096);       // mini-stream cut-off
    put32(h + 0x3C, kEnd);
    put32(h + 0x44, kEnd);
    put32(h + 0x4C, 0);          // the allocation table is sector 0
    for (int i = 1; i < 109; ++i) put32(h + 0x4C + 4 * i, kFree);

    auto sector = [&](uint32_t n) { return h + size_t(n + 1) * S; };
    uint8_t* fat = sector(0);
    for (uint32_t i = 0; i < S / 4; ++i) put32(fat + 4 * i, kFree);
    put32(fat, kFatSect);
    auto chain = [&](uint32_t first, uint32_t n) {
        for (uint32_t i = 0; i < n; ++i) put32(fat + 4 * (first + i), i + 1 == n ? kEnd : first + i + 1);
    };
    chain(1, dirSectors);
    for (size_t i = 0; i < streams.size(); ++i) chain(starts[i], counts[i]);

    uint8_t* dir = sector(1);
    for (size_t e = 0; e < dirSectors * S / 128; ++e) {
        uint8_t* d = dir + e * 128;
        put32(d + 68, kNoStream);
        put32(d + 72, kNoStream);
        put32(d + 76, kNoStream);
    }
    auto entry = [&](size_t index, const std::string& name, uint8_t type, uint32_t start, uint64_t size) {
        uint8_t* d = dir + index * 128;
        for (size_t i = 0; i < name.size() && i < 31; ++i) put16(d + 2 * i, uint8_t(name[i]));
        put16(d + 64, uint16_t(2 * (std::min<size_t>(name.size(), 31) + 1)));
        d[66] = type;
        d[67] = 1;  // black
        put32(d + 116, start);
        put64(d + 120, size);
    };
    entry(0, options.rootName, 5, kEnd, 0);
    if (!streams.empty()) put32(dir + 76, 1);  // the root's child; siblings follow to the right
    for (size_t i = 0; i < streams.size(); ++i) {
        entry(i + 1, streams[i].name, 2, starts[i], bodies[i].size());
        if (i + 1 < streams.size()) put32(dir + (i + 1) * 128 + 72, uint32_t(i + 2));
    }
    for (size_t i = 0; i < streams.size(); ++i)
        std::copy(bodies[i].begin(), bodies[i].end(), file.begin() + std::ptrdiff_t(size_t(starts[i] + 1) * S));
    return file;
}

// A Word document and an Excel workbook as their programs lay them out.
inline std::string BuildWordDocument(const std::string& text) {
    return BuildCompoundFile({{"Data", std::string(100, 'd')}, {"1Table", std::string(200, 't')},
                              {"WordDocument", text}, {"\x05SummaryInformation", std::string(64, 's')}});
}
inline std::string BuildExcelWorkbook(const std::string& cells) {
    return BuildCompoundFile({{"Workbook", cells}, {"\x05SummaryInformation", std::string(64, 's')}});
}

}  // namespace vx::test
