// Every command that reads a source leaves it as it was: the image is opened
// without write access (inotify sees no write-open, modify or attribute
// change) and its bytes hash the same before and after.
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::Quote;

class SourceWatch {
public:
    explicit SourceWatch(const std::string& path) {
        fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        inotify_add_watch(fd_, path.c_str(), IN_OPEN | IN_MODIFY | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE | IN_ATTRIB);
    }
    ~SourceWatch() { close(fd_); }
    uint32_t Seen() {
        alignas(inotify_event) char events[8192];
        ssize_t n;
        while ((n = read(fd_, events, sizeof events)) > 0)
            for (char* p = events; p < events + n;) {
                auto* e = reinterpret_cast<inotify_event*>(p);
                seen_ |= e->mask;
                p += sizeof(inotify_event) + e->len;
            }
        return seen_;
    }
private:
    int fd_;
    uint32_t seen_ = 0;
};

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
        SourceWatch watch(image_);
        test::CommandResult r = Cli(command);
        EXPECT_LE(r.status, 1) << command << "\n" << r.err;
        uint32_t seen = watch.Seen();
        EXPECT_TRUE(seen & IN_OPEN) << command;
        EXPECT_FALSE(seen & (IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB)) << command;
        EXPECT_EQ(test::Sha256File(image_), hash_) << command;
    }
}

}  // namespace
}  // namespace vx
