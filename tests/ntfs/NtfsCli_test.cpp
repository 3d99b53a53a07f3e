// vornex-cli on NTFS volumes.
#include <gtest/gtest.h>

#include "tests/ntfs/NtfsFixtures.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::Quote;

// A folder with a live file (non-ASCII name) and a deleted one.
test::CraftedImage DocsImage(const std::string& path) {
    test::CraftedImage image(path);
    image.PutRecord(16, test::RecordBuilder(0x0003).FileName(5, "Docs", 1).Build(16));
    image.PutRecord(17, test::RecordBuilder().FileName(16, "Ärger.txt", 1).ResidentData("live").Build(17));
    image.PutRecord(18, test::RecordBuilder(0x0000).FileName(16, "gone.txt", 1).ResidentData("gone!").Build(18));
    return image;
}

TEST(NtfsCli, InfoShowsTheMftLayout) {
    test::TempDir dir;
    test::CraftedImage image(dir / "v.img");
    const std::string text = test::MustRun(test::CliPath() + " info " + Quote(image.path()));
    EXPECT_NE(text.find("MFT position:   cluster 4 (byte 16384)"), std::string::npos) << text;
    EXPECT_NE(text.find("Record size:    1024"), std::string::npos) << text;
    EXPECT_NE(text.find("MFT records:    27"), std::string::npos) << text;
    const std::string json = test::MustRun(test::CliPath() + " info --json " + Quote(image.path()));
    EXPECT_NE(json.find("\"mft_cluster\": 4, \"mft_position\": 16384, \"record_size\": 1024, \"record_count\": 27"),
              std::string::npos)
        << json;
}

TEST(NtfsCli, AnalyzeListsLiveAndDeletedFilesInTheirFolders) {
    test::TempDir dir;
    test::CraftedImage image = DocsImage(dir / "v.img");
    const std::string json = test::MustRun(test::CliPath() + " analyze --fs-only --json " + Quote(image.path()));
    EXPECT_NE(json.find("\"path\": \"/Docs/Ärger.txt\", \"folder\": false, \"deleted\": false"), std::string::npos)
        << json;
    EXPECT_NE(json.find("\"path\": \"/Docs/gone.txt\", \"folder\": false, \"deleted\": true"), std::string::npos)
        << json;
    EXPECT_NE(json.find("\"path\": \"/$MFT\""), std::string::npos) << json;
}

TEST(NtfsCli, RecoverWritesLiveAndDeletedFilesAtTheirPaths) {
    test::TempDir dir;
    test::CraftedImage image = DocsImage(dir / "v.img");
    test::ScopedConfig config;
    const std::string before = test::Sha256File(image.path());
    const std::string out = dir / "out";
    test::CommandResult r = test::Run(Quote(test::CliPath()) + " recover " + Quote(image.path()) + " --fs-only --to " + Quote(out));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(test::ReadFile(out + "/Docs/Ärger.txt"), "live");
    EXPECT_EQ(test::ReadFile(out + "/Docs/gone.txt"), "gone!");
    EXPECT_EQ(test::Sha256File(image.path()), before) << "the source changed";
}

}  // namespace
}  // namespace vx
