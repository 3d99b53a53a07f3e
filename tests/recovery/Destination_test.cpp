// Where recovered files may go: never onto the device being read.
#include <sys/stat.h>
#include <unistd.h>

#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "platform/Sysfs.h"
#include "recovery/Destination.h"
#include "recovery/RecoveryJob.h"
#include "settings/ProgramSettings.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::LogMark;
using test::ScopedConfig;
using test::TempDir;

class Refusals : public test::RecordingNotifier {
public:
    void ShowError(const std::string& caption, const std::string& text) override { errors.push_back(caption + ": " + text); }
    bool AskOtherDestination(const std::string& text, std::string& folder) override {
        asked.push_back(text);
        if (other.empty()) return false;
        folder = other;
        return true;
    }
    std::vector<std::string> errors, asked;
    std::string other;
};

// The block devices that hold the file system of `folder`: its own device
// and, for a partition, its whole disk. Empty when it is not a block device.
std::vector<std::string> DevicesHolding(const std::string& folder) {
    struct stat st{};
    if (::stat(folder.c_str(), &st) != 0) return {};
    BlockDeviceInfo info = DescribeBlockDevice(st.st_dev);
    if (info.kernelName.empty()) return {};
    std::vector<std::string> out{"/dev/" + info.kernelName};
    if (info.isPartition) {
        BlockDeviceInfo disk = DescribeBlockDevice(info.disk);
        if (!disk.kernelName.empty()) out.push_back("/dev/" + disk.kernelName);
    }
    for (const std::string& path : out)
        if (::stat(path.c_str(), &st) != 0 || !S_ISBLK(st.st_mode) || ::access(path.c_str(), R_OK) != 0) return {};
    return out;
}

TEST(Destination, ImageFileSourceNeverBlocks) {
    TempDir dir;
    ScopedConfig config;
    test::WriteFile(dir / "img", std::string(4096, 'x'));
    std::unique_ptr<CVolume> volume = Computer().OpenSource(dir / "img");
    ASSERT_TRUE(volume);
    EXPECT_FALSE(DestinationOnSource(*volume, dir / "out"));
    std::string out = dir / "out";
    EXPECT_EQ(ValidateDestination(volume.get(), &out, false), 1);
    struct stat st{};
    EXPECT_EQ(::stat(out.c_str(), &st), 0);
    EXPECT_EQ(ValidateDestination(volume.get(), &out, false), 1);  // it exists now: still fine
}

TEST(Destination, FolderThatCannotBeCreated) {
    TempDir dir;
    ScopedConfig config;
    Refusals notifier;
    test::WriteFile(dir / "file", "x");
    std::string below = dir / "missing/deeper";
    std::string onFile = dir / "file";
    LogMark mark;
    EXPECT_EQ(ValidateDestination(nullptr, &below, true), 0);
    EXPECT_TRUE(notifier.errors.empty());
    EXPECT_EQ(ValidateDestination(nullptr, &onFile, false), 0);
    ASSERT_EQ(notifier.errors.size(), 1u);
    EXPECT_EQ(notifier.errors[0], "Error: \nCan't create folder:\n\"" + onFile + "\"\n\nError code: 20");
    EXPECT_TRUE(mark.Contains("Can't create folder:\n\"" + onFile + "\""));
}

TEST(Destination, FolderOnTheSourceDeviceIsRefused) {
    TempDir dir;
    ScopedConfig config;
    std::vector<std::string> devices = DevicesHolding(dir.path());
    if (devices.empty()) GTEST_SKIP() << "the temporary folder is not on a readable block device here";
    for (const std::string& device : devices) {
        SCOPED_TRACE(device);
        std::unique_ptr<CVolume> volume = Computer().OpenSource(device);
        ASSERT_TRUE(volume);
        Refusals notifier;
        std::string out = dir / "out/not/yet";
        EXPECT_TRUE(DestinationOnSource(*volume, out));
        EXPECT_EQ(ValidateDestination(volume.get(), &out, false), 0);
        EXPECT_EQ(notifier.errors, std::vector<std::string>{
                                       "Error: The distination folder is on the same drive with the source. You "
                                       "should change the destination location for recovered files."});
        // A run asks for another folder; refusing writes nothing.
        FoundObject file;
        file.name = "f.bin";
        file.size = 512;
        CRecoveryJob job(CRecoveryJob::Kind::Recovery);
        job.objects = {&file};
        Settings().SetText(settings_offset::DestinationFolder, 4096, out);
        LogMark mark;
        ASSERT_EQ(job.StartRecovery(volume.get()), 1);
        job.Wait();
        ASSERT_EQ(notifier.asked.size(), 1u);
        EXPECT_EQ(notifier.asked[0],
                  "The destination folder is on the same drive with the source. You should change the destination "
                  "location for recovered files.\nSelect another destination folder for recovered files?");
        EXPECT_TRUE(mark.Contains("Recovery finished!"));
        struct stat st{};
        EXPECT_NE(::stat((dir / "out").c_str(), &st), 0);
    }
}

}  // namespace
}  // namespace vx
