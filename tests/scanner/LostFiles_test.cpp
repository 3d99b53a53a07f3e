// Files written into a FAT32 volume that was then formatted again: the scan
// finds every file's start as a lost file of its format, and recovering the
// lost files gives back their first bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "fs/Analysis.h"
#include "signatures/FileTypeDatabase.h"
#include "tests/scanner/SampleFiles.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::MustRun;
using test::Quote;

class LostFilesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new test::TempDir;
        files_ = *dir_ / "files";
        std::filesystem::create_directory(files_);
        samples_ = test::MakeSampleFiles(files_);
        if (samples_.empty()) return;
        image_ = *dir_ / "fat32.img";
        MustRun("mkfs.fat -C -F 32 -s 1 -n CAMERA " + Quote(image_) + " 40960 >/dev/null");
        for (const test::SampleFile& s : samples_)
            MustRun("MTOOLS_SKIP_CHECK=1 mcopy -i " + Quote(image_) + " " + Quote(files_ + "/" + s.name) + " ::");
        // Formatted again: the directory is gone, the data stays.
        MustRun("mkfs.fat -F 32 -s 1 -n EMPTY " + Quote(image_) + " >/dev/null");
        const std::string bytes = test::ReadFile(image_);
        for (const test::SampleFile& s : samples_) {
            // Compound documents share their first sectors: compare far enough to reach the directory.
            const std::string head = test::ReadFile(files_ + "/" + s.name).substr(0, 2048);
            size_t at = bytes.find(head);
            while (at != std::string::npos && at % 512) at = bytes.find(head, at + 1);
            offsets_[s.name] = at;
        }
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    void SetUp() override {
        if (samples_.empty()) GTEST_SKIP() << "ImageMagick (/usr/bin/convert) or zip is not installed";
        FileTypes().LoadDatabase();
    }

    test::ScopedConfig config_;
    static test::TempDir* dir_;
    static std::string files_, image_;
    static std::vector<test::SampleFile> samples_;
    static std::map<std::string, size_t> offsets_;
};

test::TempDir* LostFilesTest::dir_ = nullptr;
std::string LostFilesTest::files_, LostFilesTest::image_;
std::vector<test::SampleFile> LostFilesTest::samples_;
std::map<std::string, size_t> LostFilesTest::offsets_;

TEST_F(LostFilesTest, EveryFileStartIsALostFileOfItsFormat) {
    const std::string before = test::Sha256File(image_);
    CVolume* volume = Computer().LoadImage(image_);
    ASSERT_TRUE(volume);
    AnalyseSectors(*volume);
    for (const test::SampleFile& s : samples_) {
        ASSERT_NE(offsets_[s.name], std::string::npos) << s.name << " is not in the image";
        const FoundObject* lost = volume->collection.FindByPosition(offsets_[s.name]);
        ASSERT_TRUE(lost) << s.name;
        EXPECT_EQ(lost->type, s.type) << s.name;
        EXPECT_TRUE(lost->IsFoundByContent()) << s.name;
    }
    EXPECT_EQ(test::Sha256File(image_), before);
}

TEST_F(LostFilesTest, AnalyzeChoosesItsPhases) {
    const std::string cli = Quote(test::CliPath()) + " analyze " + Quote(image_);
    test::CommandResult scan = test::Run(cli + " --scan-only --json");
    ASSERT_EQ(scan.status, 0) << scan.err;
    EXPECT_NE(scan.out.find("\"path\": \"/Lost files/Images/image_"), std::string::npos);
    test::CommandResult fs = test::Run(cli + " --fs-only --json");
    ASSERT_EQ(fs.status, 0);
    EXPECT_EQ(fs.out.find("Lost files"), std::string::npos);
    EXPECT_EQ(test::Run(cli + " --fs-only --scan-only").status, 2);
}

TEST_F(LostFilesTest, RecoveredLostFilesBeginWithTheOriginalBytes) {
    const std::string out = *dir_ / "recovered";
    test::CommandResult r = test::Run(Quote(test::CliPath()) + " recover " + Quote(image_) + " --to " + Quote(out) +
                                      " --lost --size-rule next-any");
    ASSERT_EQ(r.status, 0) << r.err;
    std::map<std::string, std::string> byName;
    for (const auto& e : std::filesystem::recursive_directory_iterator(out))
        if (e.is_regular_file()) byName[e.path().filename().string()] = e.path().string();
    for (const test::SampleFile& s : samples_) {
        const std::string original = test::ReadFile(files_ + "/" + s.name);
        std::string match;
        const std::string suffix = "_" + std::to_string(offsets_[s.name]) + ".";
        for (const auto& [name, path] : byName)
            if (name.find(suffix) != std::string::npos) match = path;
        ASSERT_FALSE(match.empty()) << s.name << " at " << offsets_[s.name];
        const std::string recovered = test::ReadFile(match);
        const size_t n = std::min(original.size(), recovered.size());
        EXPECT_GE(n, std::min<size_t>(original.size(), 512)) << s.name;
        EXPECT_EQ(recovered.substr(0, n), original.substr(0, n)) << s.name;
    }
}

}  // namespace
}  // namespace vx
