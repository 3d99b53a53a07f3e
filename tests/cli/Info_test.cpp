// vornex-cli basics: help, version, info, and errors on a bad source.
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::CliPath;
using test::Quote;


std::string Cli(const std::string& args) {
    // A private config folder, so the tool never touches the user's settings.
    return "XDG_CONFIG_HOME=" + Quote(test::TempDir().path()) + " " + Quote(CliPath()) + " " + args;
}

TEST(CliInfo, HelpAndVersion) {
    auto help = test::Run(Cli("--help"));
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("info SOURCE"), std::string::npos);
    auto version = test::Run(Cli("--version"));
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("vornex-cli ", 0), 0u);
}

TEST(CliInfo, DescribesAnImageAndLeavesItUnchanged) {
    test::TempDir dir;
    std::string image = dir / "fat.img";
    test::MustRun("mkfs.fat -C -F 12 -n SAMPLE " + Quote(image) + " 1440 >/dev/null");
    std::string before = test::Sha256File(image);
    auto r = test::Run(Cli("info " + Quote(image)));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("fat.img"), std::string::npos);
    EXPECT_NE(r.out.find("Volume Image"), std::string::npos);
    EXPECT_NE(r.out.find("1474560"), std::string::npos);
    EXPECT_NE(r.out.find("2880"), std::string::npos);
    EXPECT_NE(r.out.find("0000  eb"), std::string::npos);
    EXPECT_EQ(test::Sha256File(image), before);
}

TEST(CliInfo, BadSourcesGiveOneLineAndStatusTwo) {
    test::TempDir dir;
    struct Case { std::string path; std::string reason; } cases[] = {
        {dir / "missing.img", "No such file or directory"},
        {dir.path(), "Is a directory"},
    };
    for (const Case& c : cases) {
        auto r = test::Run(Cli("info " + Quote(c.path)));
        EXPECT_EQ(r.status, 2) << c.path;
        EXPECT_EQ(r.err, "vornex-cli: " + c.path + ": " + c.reason + "\n");
    }
    EXPECT_EQ(test::Run(Cli("info")).status, 2);
    EXPECT_EQ(test::Run(Cli("no-such-command")).status, 2);
}

}  // namespace
}  // namespace vx
