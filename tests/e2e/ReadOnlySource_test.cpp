// Every command that reads a source leaves it as it was: the image is opened
// without write access (inotify sees no write-open, modify or attribute
// change) and its bytes hash the same before and after.
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::Quote;

class ReadOnlySource : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new test::TempDir;
        image_ = *dir_ / "source.img";
        test::MustRun("bash " + Quote(test::SourceDir() + "/scripts/make-sample-image") + " " + Quote(image_));
        ASSERT_EQ(chmod(image_.c_str(), 0444), 0);
        hash_ = test::Sha256File(image_);
    }
    static void TearDownTestSuite() { delete dir_; }

    // Runs one command on the source with a private config folder.
    test::CommandResult Cli(const std::string& args) {
        return test::Run("XDG_CONFIG_HOME=" + Quote(*dir_ / "config") + " " + Quote(test::CliPath()) + " " + args);
    }

    static test::TempDir* dir_;
    static std::string image_, hash_;
};

test::TempDir* ReadOnlySource::dir_;
std::string ReadOnlySource::image_, ReadOnlySource::hash_;

TEST_F(ReadOnlySource, NoCommandWritesToTheSource) {
    const std::string src = Quote(image_);
    const std::string out = dir_->path();
    const std::vector<std::string> commands = {
        "info " + src,
        "analyze " + src + " --json",
        "analyze " + src + " --scan-only --json",
        "search-lost " + src,
        "image " + src + " --to " + Quote(out + "/copy.img"),
        "recover " + src + " --to " + Quote(out + "/recovered") + " --lost --size-rule next-any",
    };
    for (const std::string& command : commands) {
        test::SourceWatch watch(image_);
        test::CommandResult r = Cli(command);
        EXPECT_LE(r.status, 1) << command << "\n" << r.err;
        EXPECT_TRUE(watch.ReadOnly()) << command;
        EXPECT_EQ(test::Sha256File(image_), hash_) << command;
    }
}

}  // namespace
}  // namespace vx
