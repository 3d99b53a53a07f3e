// vornex-cli option handling: an unknown option or a missing value stops the
// command with status 2 and its usage before anything is read or written;
// recover --scan-only runs the sector scan alone.
#include <filesystem>

#include "tests/scanner/SampleFiles.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::Quote;

// Run inside the config folder, so that a value taken for a relative path lands there.
std::string Cli(const test::TempDir& config, const std::string& args) {
    return "cd " + Quote(config.path()) + " && XDG_CONFIG_HOME=" + Quote(config.path()) + " " +
           Quote(test::CliPath()) + " " + args;
}

class CliOptions : public ::testing::Test {
protected:
    void SetUp() override {
        image_ = dir_ / "card.img";
        test::MustRun("mkfs.fat -C -F 12 " + Quote(image_) + " 1440 >/dev/null");
        test::WriteFile(dir_ / "hello.txt", "hello, world");
        test::WriteFile(dir_ / "SOUND.WAV", test::MakeWav(3000));
        test::MustRun("MTOOLS_SKIP_CHECK=1 mcopy -i " + Quote(image_) + " " + Quote(dir_ / "hello.txt") + " " +
                      Quote(dir_ / "SOUND.WAV") + " ::/");
    }
    std::vector<std::string> FilesBelow(const std::string& folder) {
        std::vector<std::string> files;
        if (!std::filesystem::exists(folder)) return files;
        for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
            if (e.is_regular_file()) files.push_back(e.path().string());
        return files;
    }
    test::TempDir dir_, config_;
    std::string image_;
};

TEST_F(CliOptions, UnknownOptionOrMissingValueGivesStatusTwoAndTheUsage) {
    const std::string img = Quote(image_), out = Quote(dir_ / "out");
    struct Case {
        std::string args;
        std::string error;
        std::string usage;
    } cases[] = {
        {"recover " + img + " --delted-only --to " + out, "unknown option '--delted-only'", "recover SOURCE --to DIR"},
        {"recover " + img + " --to", "option '--to' needs a value", "recover SOURCE --to DIR"},
        {"recover " + img + " --to --flat", "option '--to' needs a value", "recover SOURCE --to DIR"},
        {"recover " + img + " --to " + out + " --json", "unknown option '--json'", "recover SOURCE --to DIR"},
        {"analyze " + img + " --partition", "option '--partition' needs a value", "analyze SOURCE"},
        {"analyze " + img + " --to " + out, "unknown option '--to'", "analyze SOURCE"},
        {"info " + img + " --json=yes", "option '--json' takes no value", "info SOURCE"},
        {"search-lost " + img + " -x", "unknown option '-x'", "search-lost SOURCE"},
        {"types --all", "unknown option '--all'", "types [--json]"},
    };
    for (const Case& c : cases) {
        auto r = test::Run(Cli(config_, c.args));
        EXPECT_EQ(r.status, 2) << c.args;
        EXPECT_NE(r.err.find("vornex-cli: " + c.error + "\n"), std::string::npos) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find("Usage: vornex-cli " + c.usage), std::string::npos) << c.args << "\n" << r.err;
        EXPECT_TRUE(r.out.empty()) << c.args;
    }
    EXPECT_TRUE(FilesBelow(dir_ / "out").empty());
    // A value that looks like an option is still a value where one is due.
    auto lostFolders = test::Run(Cli(config_, "recover " + img + " --to " + out + " --id -18"));
    EXPECT_EQ(lostFolders.status, 0) << lostFolders.err;
}

TEST_F(CliOptions, RecoverScanOnlyRecoversLostFilesAlone) {
    const std::string out = dir_ / "out";
    auto r = test::Run(Cli(config_, "recover " + Quote(image_) + " --scan-only --to " + Quote(out)));
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    const std::string wav = test::MakeWav(3000);
    bool wavFound = false;
    for (const std::string& f : FilesBelow(out)) {
        EXPECT_EQ(f.find("hello.txt"), std::string::npos) << "file-system phase ran: " << f;
        wavFound = wavFound || test::ReadFile(f).compare(0, wav.size(), wav) == 0;  // its size is a guess
    }
    EXPECT_TRUE(wavFound) << r.out;
    EXPECT_EQ(test::Run(Cli(config_, "recover " + Quote(image_) + " --scan-only --fs-only --to " + Quote(out))).status,
              2);
}

}  // namespace
}  // namespace vx
