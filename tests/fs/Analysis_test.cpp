// The analysis controller: a whole analysis on its thread with its lines and
// events, the queue, whole disks, and stopping while another thread reads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/SectorReader.h"
#include "settings/ProgramSettings.h"
#include "tests/fs/FatFixture.h"

namespace vx {
namespace {

using test::Quote;

// Every read of the source takes `delayMs` more.
class ScopedSlowSource {
public:
    explicit ScopedSlowSource(int delayMs) {
        SetSectorReaderFactory([delayMs](const std::string& path, std::string* error) -> std::unique_ptr<ISectorReader> {
            struct Slow : ISectorReader {
                std::unique_ptr<ISectorReader> inner;
                int delay;
                int64_t ReadAt(void* b, size_t n, uint64_t p, int* e) override {
                    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
                    return inner->ReadAt(b, n, p, e);
                }
                uint64_t Size() const override { return inner->Size(); }
            };
            auto inner = OpenPosixSectorReader(path, error);
            if (!inner) return nullptr;
            auto slow = std::make_unique<Slow>();
            slow->inner = std::move(inner);
            slow->delay = delayMs;
            return slow;
        });
    }
    ~ScopedSlowSource() { SetSectorReaderFactory(nullptr); }
};

class AnalysisTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new test::TempDir;
        // A FAT16 volume with a few files and 300 folders.
        small_ = *dir_ / "small.img";
        const std::string file = *dir_ / "readme.txt";
        test::WriteFile(file, "hello\n");
        std::string folders;
        for (int i = 0; i < 300; ++i) folders += " ::/D" + std::to_string(i);
        test::MustRun("mkfs.fat -C -F 16 " + Quote(small_) + " 16384 >/dev/null && " +
                      test::Mtools("mcopy -i " + Quote(small_) + " " + Quote(file) + " ::/readme.txt") + " && " +
                      test::Mtools("mmd -i " + Quote(small_) + folders));
        // A whole disk: a partition table and a FAT16 partition at 1 MiB.
        disk_ = *dir_ / "disk.img";
        test::MustRun("truncate -s 24M " + Quote(disk_) + " && echo 'start=2048, type=6' | sfdisk -q " +
                      Quote(disk_) + " && mkfs.fat -F 16 --offset 2048 " + Quote(disk_) + " 20000 >/dev/null && " +
                      test::Mtools("mcopy -i " + Quote(disk_ + "@@1M") + " " + Quote(file) + " ::/inpart.txt"));
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    void TearDown() override { TheAnalysisState().running = 0; }

    static test::TempDir* dir_;
    static std::string small_, disk_;
    test::ScopedConfig config_;
    test::RecordingNotifier notifier_;
};

test::TempDir* AnalysisTest::dir_ = nullptr;
std::string AnalysisTest::small_, AnalysisTest::disk_;

TEST_F(AnalysisTest, AnAnalysisRunsOnItsThreadWithItsLinesAndEvents) {
    Settings().SetFlag(settings_offset::LogFoundFiles, true);
    std::unique_ptr<CVolume> volume = Computer().OpenSource(small_);
    ASSERT_TRUE(volume);
    test::LogMark mark;
    AnalysisController().StartAnalysis(volume.get());
    EXPECT_TRUE(AnalysisController().WaitForAnalysis(volume.get(), 20000));

    EXPECT_EQ(volume->state.load(), VolumeState::Ready);
    EXPECT_FALSE(TheAnalysisState().Running());
    EXPECT_TRUE(AnalysisController().Queue().empty());
    EXPECT_EQ(volume->collection.rootId.load(), 0);
    EXPECT_EQ(volume->fsFoldersFound.load(), 300u);
    EXPECT_EQ(volume->fsFilesFound.load(), 1u);
    const std::vector<std::string> expected = {
        "Initializing drive small.img",
        "Beginning file system analysis.",
        "Found file: readme.txt",
        "Analyze time: 0 minute(s), 0 second(s).",
        "Analyze Finished. Found 300 folder(s) and 1 file(s).",
        "Beginning drive sectors analysis, searching lost files.",
        "Analyse small.img complete",
    };
    std::vector<std::string> lines = mark.NewLines();
    size_t at = 0;
    for (const std::string& line : lines)
        if (at < expected.size() && line.find(expected[at]) != std::string::npos) ++at;
    EXPECT_EQ(at, expected.size()) << "missing in order: " << (at < expected.size() ? expected[at] : "");
    const std::vector<uint32_t> events = notifier_.analysisEvents();
    EXPECT_EQ(events, (std::vector<uint32_t>{WM_FS_ANALYSIS_DONE, WM_SECTOR_ANALYSIS_DONE, WM_ANALYSIS_FINISHED}));
}

TEST_F(AnalysisTest, AWholeDiskQueuesItsPartitionAndSkipsItsOwnSectorPhase) {
    std::unique_ptr<CVolume> owned = Computer().OpenSource(disk_);
    ASSERT_TRUE(owned);
    CVolume* disk = Computer().Volumes().Append(std::move(owned));
    test::LogMark mark;
    AnalysisController().StartAnalysis(disk);
    ASSERT_TRUE(AnalysisController().WaitForAnalysis(disk, 20000));
    std::vector<CVolume*> children = disk->Children();
    ASSERT_EQ(children.size(), 1u);
    CVolume* part = children[0];
    EXPECT_EQ(AnalysisController().Queue(), std::vector<CVolume*>{part}) << "queued while the disk's analysis ran";
    EXPECT_FALSE(mark.Contains("Beginning drive sectors analysis"));

    AnalysisController().StartAnalysis(part);
    ASSERT_TRUE(AnalysisController().WaitForAnalysis(part, 20000));
    auto listing = test::Listing(*part);
    EXPECT_TRUE(listing.count("/inpart.txt"));
    EXPECT_TRUE(AnalysisController().Queue().empty());
}

TEST_F(AnalysisTest, AVolumeWithoutFileSystemIsSaidSo) {
    const std::string blank = *dir_ / "blank.img";
    test::WriteFile(blank, std::string(64 * 512, '\0'));
    std::unique_ptr<CVolume> volume = test::OpenImage(blank);
    test::LogMark mark;
    test::AnalyseFat(*volume);
    EXPECT_TRUE(mark.Contains("No file system detected! File system analysis skipped."));
    EXPECT_EQ(volume->collection.Count(), 1u);
}

TEST_F(AnalysisTest, StartingWhileAnotherRunsOnlyQueues) {
    ScopedSlowSource slow(5);
    std::unique_ptr<CVolume> first = Computer().OpenSource(small_);
    std::unique_ptr<CVolume> second = Computer().OpenSource(small_);
    AnalysisController().StartAnalysis(first.get());
    AnalysisController().StartAnalysis(second.get());
    EXPECT_EQ(AnalysisController().Queue(), (std::vector<CVolume*>{first.get(), second.get()}));
    EXPECT_FALSE(AnalysisController().IsAnalysing(second.get()));
    EXPECT_TRUE(AnalysisController().StopAnalysis(first.get(), true));
    EXPECT_TRUE(AnalysisController().WaitForAnalysis(first.get(), 1000));
    EXPECT_EQ(AnalysisController().Queue(), std::vector<CVolume*>{second.get()});
    EXPECT_EQ(second->collection.Count(), 0u) << "never started";
}

// A stop asked while the file-system phase reads a slow source: the thread
// ends within a second on its own, and a reader on another thread sees a
// consistent collection all along.
TEST_F(AnalysisTest, StopEndsTheThreadWithinASecondWhileAnotherThreadReads) {
    ScopedSlowSource slow(10);
    std::unique_ptr<CVolume> volume = Computer().OpenSource(small_);
    ASSERT_TRUE(volume);
    std::atomic<bool> done{false};
    std::atomic<size_t> reads{0};
    std::thread reader([&] {
        while (!done) {
            for (const FoundObject& r : volume->collection.CopyChildren(0)) {
                if (r.IsVolumeNode()) continue;
                ASSERT_TRUE(r.name != nullptr);
                ASSERT_EQ(r.parent, 0);
            }
            volume->collection.Visit([](const FoundObject& r) { (void)r.id; });
            ++reads;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    AnalysisController().StartAnalysis(volume.get());
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    ASSERT_TRUE(AnalysisController().IsAnalysing(volume.get())) << "still reading folders";

    // With the confirmation on, a "no" changes nothing.
    Settings().SetFlag(settings_offset::ConfirmScanAbort, true);
    notifier_.answer = false;
    EXPECT_FALSE(AnalysisController().StopAnalysis(volume.get(), false));
    EXPECT_TRUE(TheAnalysisState().Running());
    EXPECT_EQ(volume->state.load(), VolumeState::Analyzing);

    notifier_.answer = true;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(AnalysisController().StopAnalysis(volume.get(), false));
    EXPECT_TRUE(AnalysisController().WaitForAnalysis(volume.get(), 1000));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
    done = true;
    reader.join();
    EXPECT_GT(reads.load(), 0u);
    EXPECT_EQ(volume->state.load(), VolumeState::Ready);
}

}  // namespace
}  // namespace vx
