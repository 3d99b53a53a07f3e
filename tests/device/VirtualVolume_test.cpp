// A virtual drive over a disk image's second partition: listed below the
// image, bounded to its range, analysed like any drive, its files recovered
// byte for byte, and kept (with its parent) across a rescan.
#include <gtest/gtest.h>

#include <algorithm>

#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "fs/Analysis.h"
#include "fs/AnalysisState.h"
#include "recovery/RecoveryJob.h"
#include "settings/ProgramSettings.h"
#include "tests/device/DiskImages.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::MustRun;
using test::Quote;

TEST(VirtualVolume, SecondPartitionOfADiskImageIsAnalysedAndRecovered) {
    test::ScopedConfig config;
    test::TempDir dir;
    const std::string disk = dir / "disk.img";
    MustRun("truncate -s 24M " + Quote(disk));
    MustRun("printf 'label: dos\\nstart=2048, size=16384, type=6\\nstart=18432, size=28672, type=6\\n' | sfdisk -q " +
            Quote(disk));
    const uint64_t second = 18432ull * 512, secondBytes = 28672ull * 512;
    test::PutFatVolume(disk, second, secondBytes / 1024, "-F 16", dir.path(), "SECOND");
    const std::string before = test::Sha256File(disk);

    test::SourceWatch watch(disk);
    CVolume* image = Computer().LoadImage(disk);
    ASSERT_TRUE(image);
    EXPECT_EQ(Computer().AddVirtualVolume(*image, second, image->totalBytes), nullptr);  // past the end
    CVolume* drive = Computer().AddVirtualVolume(*image, second, secondBytes);
    ASSERT_TRUE(drive);
    EXPECT_EQ(drive->kind, VolumeKind::Virtual);
    EXPECT_EQ(drive->ParentVolume(), image);
    EXPECT_EQ(drive->rootRecord.parent, image->Id());
    auto children = image->Children();
    EXPECT_NE(std::find(children.begin(), children.end(), drive), children.end());
    EXPECT_EQ(drive->typeCode, 4u);
    EXPECT_EQ(drive->label.substr(0, 6), "SECOND");
    EXPECT_EQ(drive->totalSectors, 28672u);
    // Reads end with the range.
    std::vector<uint8_t> buffer(4 * 512);
    EXPECT_EQ(drive->ReadSectors(buffer.data(), 28670, 4), 1024u);
    EXPECT_EQ(drive->ReadSectors(buffer.data(), 28672, 1), 0u);

    TheAnalysisState().running = 1;
    AnalyseFileSystem(*drive);
    TheAnalysisState().running = 0;
    std::vector<FoundObject*> files;
    drive->collection.Visit([&](const FoundObject& r) {
        if (!r.IsVolumeNode() && !r.IsFolder() && r.name) files.push_back(const_cast<FoundObject*>(&r));
    });
    ASSERT_EQ(files.size(), test::FatFiles().size());

    const std::string out = dir / "out";
    Settings().SetText(settings_offset::DestinationFolder, 4096, out);
    Settings().SetFlag(settings_offset::KeepFolderStructure, true);
    CRecoveryJob job(CRecoveryJob::Kind::Recovery);
    job.objects = files;
    ASSERT_EQ(job.StartRecovery(drive), 1);
    job.Wait();
    test::ExpectRecovered(out, dir.path(), "SECOND", test::FatFiles());

    // A rescan keeps the virtual drive below its image.
    Computer().Volumes().Rescan();
    EXPECT_EQ(Computer().FindVolume(drive->Id()), drive);
    EXPECT_EQ(drive->ParentVolume(), image);
    EXPECT_EQ(drive->DevicePath(), image->DevicePath());
    EXPECT_EQ(test::Sha256File(disk), before);
    EXPECT_TRUE(watch.ReadOnly());
}

}  // namespace
}  // namespace vx
