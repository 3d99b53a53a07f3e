#pragma once
// Whole-disk images for the device tests, made by the real tools: FAT
// volumes written by mkfs.fat at an offset and filled by mtools, NTFS volumes
// made by mkntfs, filled by ntfscp and placed into the disk with dd. Every
// file put in is kept beside the image, so a recovery can be compared byte
// for byte.
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

namespace vx::test {

struct DiskFile {
    std::string path;  // inside the volume: "/Docs/a.bin"
    size_t size;
    bool deleted;      // removed after every file was written: its clusters stay free
};

// A FAT volume's files: live ones in folders, one deleted.
inline const std::vector<DiskFile>& FatFiles() {
    static const std::vector<DiskFile> files = {
        {"/hello.txt", 12, false},
        {"/Docs/report.bin", 70000, false},
        {"/Docs/Ünï name.txt", 3000, false},
        {"/Old/gone for good.bin", 9000, true},
    };
    return files;
}

// NTFS files go in with ntfscp, which copies into the root only.
inline const std::vector<DiskFile>& NtfsFiles() {
    static const std::vector<DiskFile> files = {
        {"/small.txt", 300, false},
        {"/large.bin", 200000, false},
    };
    return files;
}

// Where the files of volume `tag` are kept on the host.
inline std::string SourceOf(const std::string& dir, const std::string& tag, const std::string& path) {
    return dir + "/" + tag + "-src" + path;
}

inline void WriteSources(const std::string& dir, const std::string& tag, const std::vector<DiskFile>& files,
                         uint32_t seed) {
    for (const DiskFile& f : files) {
        const std::string host = SourceOf(dir, tag, f.path);
        MustRun("mkdir -p " + Quote(host.substr(0, host.rfind('/'))));
        WriteFile(host, RandomBytes(f.size, seed++));
    }
}

// mkfs.fat at byte `offset` of `disk` (`sectorSize` bytes per sector, `kib`
// KiB long), then FatFiles() copied in and the deleted ones removed.
inline void PutFatVolume(const std::string& disk, uint64_t offset, uint64_t kib, const std::string& fatOptions,
                         const std::string& dir, const std::string& tag, uint32_t sectorSize = 512) {
    WriteSources(dir, tag, FatFiles(), uint32_t(offset / 512));
    MustRun("mkfs.fat " + fatOptions + " -S " + std::to_string(sectorSize) + " -n " + tag +
            " --offset=" + std::to_string(offset / sectorSize) + " " + Quote(disk) + " " + std::to_string(kib) +
            " >/dev/null 2>&1");
    const std::string m = "MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8 TZ=UTC ";
    const std::string at = " -i " + Quote(disk + "@@" + std::to_string(offset)) + " ";
    std::string script = m + "mmd" + at + "::/Docs ::/Old; ";
    for (const DiskFile& f : FatFiles())
        script += m + "mcopy" + at + Quote(SourceOf(dir, tag, f.path)) + " " + Quote("::" + f.path) + "; ";
    for (const DiskFile& f : FatFiles())
        if (f.deleted) script += m + "mdel" + at + Quote("::" + f.path) + "; ";
    MustRun("set -e; " + script);
}

// mkntfs over a file of `bytes` bytes, NtfsFiles() copied in, the volume
// written into `disk` at byte `offset`.
inline void PutNtfsVolume(const std::string& disk, uint64_t offset, uint64_t bytes, const std::string& dir,
                          const std::string& tag) {
    WriteSources(dir, tag, NtfsFiles(), uint32_t(offset / 512));
    const std::string volume = dir + "/" + tag + ".ntfs";
    MustRun("truncate -s " + std::to_string(bytes) + " " + Quote(volume) + " && mkntfs -F -Q -q -L " + tag +
            " -p " + std::to_string(offset / 512) + " " + Quote(volume) + " >/dev/null 2>&1");
    for (const DiskFile& f : NtfsFiles())
        MustRun("ntfscp " + Quote(volume) + " " + Quote(SourceOf(dir, tag, f.path)) + " " + Quote(f.path.substr(1)) +
                " >/dev/null");
    MustRun("dd if=" + Quote(volume) + " of=" + Quote(disk) + " bs=512 seek=" + std::to_string(offset / 512) +
            " conv=notrunc status=none");
}

// Every live file of `files` and every deleted one is at its path below
// `out`, byte-identical to what was put in.
inline void ExpectRecovered(const std::string& out, const std::string& dir, const std::string& tag,
                            const std::vector<DiskFile>& files) {
    for (const DiskFile& f : files)
        EXPECT_EQ(Sha256File(out + f.path), Sha256File(SourceOf(dir, tag, f.path))) << tag << f.path;
}

}  // namespace vx::test
