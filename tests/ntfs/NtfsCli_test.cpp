// vornex-cli on NTFS volumes.
#include <gtest/gtest.h>

#include "tests/ntfs/NtfsFixtures.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::Quote;

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

}  // namespace
}  // namespace vx
