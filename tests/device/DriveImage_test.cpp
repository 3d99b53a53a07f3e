// Drive images: the copy loop over real FAT images, through the fault seam,
// and the command-line tool's exit statuses.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>

#include "device/DriveImage.h"
#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::MustRun;
using test::Quote;

constexpr uint64_t kImageBytes = 10u << 20;  // 10 MiB: five chunks

class ImageEvents : public test::RecordingNotifier {
public:
    void OnImageEvent(uint32_t message, CImageJob*, int) override {
        if (message == WM_IMAGE_PROGRESS) ++progress;
        if (message == WM_IMAGE_DONE) ++done;
    }
    std::atomic<int> progress{0}, done{0};
};

class DriveImageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new test::TempDir;
        fat_ = *dir_ / "fat.img";
        MustRun("mkfs.fat -C -F 16 -n PHOTOS -i 2468ACE0 " + Quote(fat_) + " 10240");
        test::WriteFile(*dir_ / "data.bin", test::RandomBytes(3u << 20, 7));
        MustRun("MTOOLS_SKIP_CHECK=1 mcopy -i " + Quote(fat_) + " " + Quote(*dir_ / "data.bin") + " ::/DATA.BIN");
        noise_ = *dir_ / "noise.img";
        test::WriteFile(noise_, test::RandomBytes(kImageBytes, 11));
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }

    test::ScopedConfig config_;
    test::TempDir out_;
    static test::TempDir* dir_;
    static std::string fat_, noise_;
};

test::TempDir* DriveImageTest::dir_ = nullptr;
std::string DriveImageTest::fat_, DriveImageTest::noise_;

TEST_F(DriveImageTest, ImageOfAFatVolumeIsIdenticalAndLoadsAsTheSameVolume) {
    ImageEvents events;
    std::unique_ptr<CVolume> source = Computer().OpenSource(fat_);
    ASSERT_NE(source, nullptr);
    source->ParseBootSector();
    const std::string target = out_ / "copy.dsk";
    std::unique_ptr<CImageJob> job = CreateImage(*source, target, false);
    ASSERT_NE(job, nullptr);
    job->Wait();
    EXPECT_EQ(job->Result(), CImageJob::Outcome::Done);
    EXPECT_EQ(job->UnreadableSectors(), 0u);
    EXPECT_EQ(job->TotalSectors(), kImageBytes / 512);
    EXPECT_EQ(job->CurrentSector(), kImageBytes / 512);
    EXPECT_FALSE(job->Running());
    EXPECT_EQ(events.progress.load(), 5);
    EXPECT_EQ(events.done.load(), 1);
    EXPECT_EQ(test::Sha256File(target), test::Sha256File(fat_));

    CVolume* loaded = Computer().LoadImage(target);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->kind, VolumeKind::Image);
    EXPECT_EQ(loaded->driveType, kDriveImage);
    EXPECT_EQ(loaded->DisplayName(), "copy.dsk");
    EXPECT_EQ(loaded->typeCode, source->typeCode);
    EXPECT_EQ(loaded->label, source->label);
    EXPECT_EQ(loaded->serialNumber, 0x2468ACE0u);
    EXPECT_EQ(loaded->totalBytes, kImageBytes);
    EXPECT_LT(loaded->Id(), -30);
    EXPECT_EQ(Computer().LoadImage(out_ / "missing.dsk"), nullptr);
}

TEST_F(DriveImageTest, UnreadableSectorsBecomeZerosAndTheCopyGoesOn) {
    const std::set<uint64_t> bad = {5, 4096, 4097, 4098, 4099, 8191, 8192, 20479};
    test::ScopedFaultySectors faults(noise_, bad);
    std::unique_ptr<CVolume> source = Computer().OpenSource(noise_);
    ASSERT_NE(source, nullptr);
    const std::string target = out_ / "failing.img";
    test::LogMark mark;
    CImageJob job(*source, target, false);
    job.DriveCreateImage();
    EXPECT_EQ(job.Result(), CImageJob::Outcome::Done);
    EXPECT_EQ(job.UnreadableSectors(), bad.size());

    const std::string original = test::ReadFile(noise_), copy = test::ReadFile(target);
    ASSERT_EQ(copy.size(), original.size());
    for (uint64_t s = 0; s < kImageBytes / 512; ++s) {
        const std::string got = copy.substr(s * 512, 512);
        if (bad.count(s)) {
            ASSERT_EQ(got, std::string(512, '\0')) << "sector " << s;
        } else {
            ASSERT_EQ(got, original.substr(s * 512, 512)) << "sector " << s;
        }
    }
    // One line per unreadable run (a run may cross a chunk boundary), and the count.
    std::vector<UnreadableRun> runs = job.UnreadableRuns();
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[1].first, 4096u);
    EXPECT_EQ(runs[1].count, 4u);
    EXPECT_EQ(runs[2].first, 8191u);
    EXPECT_EQ(runs[2].count, 2u);
    EXPECT_TRUE(mark.Contains("DriveCreateImage: Can't read sector: 0x5, 1 sector(s) written as zeros"));
    EXPECT_TRUE(mark.Contains("DriveCreateImage: Can't read sector: 0x1000, 4 sector(s) written as zeros"));
    EXPECT_TRUE(mark.Contains("DriveCreateImage: Can't read sector: 0x1fff, 2 sector(s) written as zeros"));
    EXPECT_TRUE(mark.Contains("DriveCreateImage: Can't read sector: 0x4fff, 1 sector(s) written as zeros"));
    EXPECT_TRUE(mark.Contains("8 unreadable sector(s)"));
    EXPECT_TRUE(mark.Contains("not readed, try retry 10"));  // the volume's own retries came first
}

TEST_F(DriveImageTest, ExistingFilesAndTheSourceItselfAreNeverOverwritten) {
    std::unique_ptr<CVolume> source = Computer().OpenSource(fat_);
    ASSERT_NE(source, nullptr);
    const std::string before = test::Sha256File(fat_);
    const std::string existing = out_ / "existing.img";
    test::WriteFile(existing, "keep me");

    CImageJob exclusive(*source, existing, false);
    exclusive.DriveCreateImage();
    EXPECT_EQ(exclusive.Result(), CImageJob::Outcome::CreateFailed);
    EXPECT_EQ(exclusive.CreateError(), EEXIST);
    EXPECT_EQ(test::ReadFile(existing), "keep me");

    MustRun("ln -s " + Quote(fat_) + " " + Quote(out_ / "link.img"));
    for (const std::string& onto : {fat_, out_ / "link.img"}) {
        CImageJob self(*source, onto, true);
        self.DriveCreateImage();
        EXPECT_EQ(self.Result(), CImageJob::Outcome::TargetOnSource) << onto;
    }
    EXPECT_EQ(test::Sha256File(fat_), before);

    CImageJob overwrite(*source, existing, true);
    overwrite.DriveCreateImage();
    EXPECT_EQ(overwrite.Result(), CImageJob::Outcome::Done);
    EXPECT_EQ(test::Sha256File(existing), before);
}

TEST_F(DriveImageTest, StoppedCopyKeepsWhatWasWritten) {
    std::unique_ptr<CVolume> source = Computer().OpenSource(fat_);
    ASSERT_NE(source, nullptr);
    const std::string target = out_ / "stopped.img";
    CImageJob job(*source, target, false);
    job.Stop();
    ASSERT_TRUE(job.Start());
    job.Wait();
    EXPECT_EQ(job.Result(), CImageJob::Outcome::Stopped);
    struct stat st{};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(uint64_t(st.st_size), job.BytesWritten());
}

TEST_F(DriveImageTest, FoundVolumeImageHoldsThePartitionAlone) {
    const std::string disk = out_ / "disk.img";
    MustRun("truncate -s 12M " + Quote(disk) + " && printf 'label: dos\\nstart=2048, size=12288, type=6\\n' | sfdisk -q " +
            Quote(disk) + " && mkfs.fat -F 16 -s 1 --offset=2048 " + Quote(disk) + " 6144");
    CVolume* image = Computer().LoadImage(disk);
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->Children().size(), 1u);
    CVolume* found = image->Children()[0];
    const std::string target = out_ / "partition.img";
    CImageJob job(*found, target, false);
    job.DriveCreateImage();
    EXPECT_EQ(job.Result(), CImageJob::Outcome::Done);
    MustRun("dd if=" + Quote(disk) + " of=" + Quote(out_ / "expected.img") + " bs=512 skip=2048 count=" +
            std::to_string(found->totalSectors) + " status=none");
    EXPECT_EQ(test::Sha256File(target), test::Sha256File(out_ / "expected.img"));
}

TEST_F(DriveImageTest, CommandLineReportsUnreadableSectorsWithStatusOne) {
    const std::string cli = Quote(test::CliPath());
    const std::string clean = out_ / "clean.img", failing = out_ / "failing.img";
    test::CommandResult ok = test::Run(cli + " image " + Quote(fat_) + " --to " + Quote(clean));
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(test::Sha256File(clean), test::Sha256File(fat_));
    EXPECT_NE(ok.err.find("0 unreadable sector(s)"), std::string::npos) << ok.err;

    test::CommandResult again = test::Run(cli + " image " + Quote(fat_) + " --to " + Quote(clean));
    EXPECT_EQ(again.status, 2);
    EXPECT_NE(again.err.find("File exists"), std::string::npos) << again.err;

    test::CommandResult bad = test::Run(cli + " image " + Quote(noise_) + " --to " + Quote(failing) +
                                        " --unreadable-sectors 100-102,9000");
    EXPECT_EQ(bad.status, 1) << bad.err;
    EXPECT_NE(bad.err.find("unreadable: sectors 100-102"), std::string::npos) << bad.err;
    EXPECT_NE(bad.err.find("4 unreadable sector(s)"), std::string::npos) << bad.err;
    const std::string copy = test::ReadFile(failing);
    ASSERT_EQ(copy.size(), kImageBytes);
    EXPECT_EQ(copy.substr(100 * 512, 3 * 512), std::string(3 * 512, '\0'));
    EXPECT_EQ(copy.substr(103 * 512, 512), test::ReadFile(noise_).substr(103 * 512, 512));

    EXPECT_EQ(test::Run(cli + " image " + Quote(noise_) + " --to " + Quote(out_ / "x.img") +
                        " --unreadable-sectors 9-3").status, 2);
}

}  // namespace
}  // namespace vx
