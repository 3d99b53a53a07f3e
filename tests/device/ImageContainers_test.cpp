// One lab image converted into each container with the packaged tools
// (ewfacquire, qemu-img, split): vornex-cli lists the same objects and
// recovers the same bytes as from the raw image, names the container, and
// leaves every container file as it was.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::Quote;

struct Container {
    const char* kind;     // what vornex-cli info names
    const char* file;     // the file given to vornex-cli
    const char* command;  // makes it from lab.raw in the current folder
    const char* tool;
};

const Container kContainers[] = {
    {"E01", "lab.E01", "ewfacquire -u -q -t lab -c deflate:fast -f encase6 lab.raw >/dev/null 2>&1", "ewfacquire"},
    {"VHD", "lab.vhd", "qemu-img convert -f raw -O vpc lab.raw lab.vhd", "qemu-img"},
    {"VHDX", "lab.vhdx", "qemu-img convert -f raw -O vhdx lab.raw lab.vhdx", "qemu-img"},
    {"VMDK", "lab.vmdk", "qemu-img convert -f raw -O vmdk lab.raw lab.vmdk", "qemu-img"},
    {"QCOW2", "lab.qcow2", "qemu-img convert -f raw -O qcow2 lab.raw lab.qcow2", "qemu-img"},
    {"split raw", "lab.raw.001", "split -b 3M -d -a 3 --numeric-suffixes=1 lab.raw lab.raw.", "split"},
};

class ImageContainers : public ::testing::TestWithParam<Container> {
protected:
    static void SetUpTestSuite() {
        dir_ = new test::TempDir;
        const std::string src = *dir_ / "src", raw = *dir_ / "lab.raw";
        test::MustRun("mkdir -p " + Quote(src));
        test::WriteFile(src + "/photo.jpg", test::RandomBytes(70000, 1));
        test::WriteFile(src + "/notes.txt", test::RandomBytes(3000, 2));
        test::WriteFile(src + "/gone for good.bin", test::RandomBytes(9000, 3));
        const std::string i = "MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8 TZ=UTC ";
        test::MustRun("mkfs.fat -C -F 16 " + Quote(raw) + " 10240 >/dev/null && " + i + "mmd -i " + Quote(raw) +
                      " ::/Docs && " + i + "mcopy -i " + Quote(raw) + " " + Quote(src + "/photo.jpg") + " " +
                      Quote(src + "/notes.txt") + " " + Quote(src + "/gone for good.bin") + " ::/Docs/ && " + i + "mdel -i " +
                      Quote(raw) + " " + Quote("::/Docs/gone for good.bin"));
    }
    static void TearDownTestSuite() { delete dir_; }
    static test::CommandResult Cli(const std::string& args) {
        return test::Run("XDG_CONFIG_HOME=" + Quote(*dir_ / "config") + " " + Quote(test::CliPath()) + " " + args);
    }
    static test::TempDir* dir_;
};

test::TempDir* ImageContainers::dir_ = nullptr;

TEST_P(ImageContainers, SameListingAndBytesAsTheRawImageAndTheContainerUnchanged) {
    const Container& c = GetParam();
    if (!test::HaveTool(c.tool)) GTEST_SKIP() << c.tool << " is not installed";
    test::MustRun("cd " + Quote(dir_->path()) + " && " + c.command);
    const std::string file = *dir_ / c.file;
    std::map<std::string, std::string> before;
    for (const auto& e : std::filesystem::directory_iterator(dir_->path()))
        if (e.path().filename().string().rfind("lab.", 0) == 0) before[e.path()] = test::Sha256File(e.path());

    test::CommandResult info = Cli("info " + Quote(file));
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find(std::string("Container:      ") + c.kind + "\n"), std::string::npos) << info.out;
    if (std::string(c.kind) == "E01") {
        EXPECT_NE(info.out.find("Stored hash:    MD5 "), std::string::npos) << info.out;
    }

    test::CommandResult raw = Cli("analyze " + Quote(*dir_ / "lab.raw") + " --fs-only");
    test::CommandResult inside = Cli("analyze " + Quote(file) + " --fs-only");
    ASSERT_EQ(inside.status, 0) << inside.err;
    // The first line names the source.
    EXPECT_EQ(inside.out.substr(inside.out.find('\n')), raw.out.substr(raw.out.find('\n')));
    EXPECT_NE(inside.out.find("gone for good.bin  9000  deleted"), std::string::npos) << inside.out;

    test::TempDir out;
    test::CommandResult r = Cli("recover " + Quote(file) + " --fs-only --to " + Quote(out.path()));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    for (const char* name : {"photo.jpg", "notes.txt", "gone for good.bin"})
        EXPECT_EQ(test::Sha256File(out / ("Docs/" + std::string(name))), test::Sha256File(*dir_ / ("src/" + std::string(name))))
            << name;

    test::CommandResult lost = Cli("search-lost " + Quote(file));
    EXPECT_EQ(lost.status, 0) << lost.err;
    for (const auto& [path, hash] : before) EXPECT_EQ(test::Sha256File(path), hash) << path << " changed";
}

INSTANTIATE_TEST_SUITE_P(Tools, ImageContainers, ::testing::ValuesIn(kContainers),
                         [](const ::testing::TestParamInfo<Container>& param) {
                             std::string name = param.param.kind;
                             for (char& ch : name)
                                 if (ch == ' ') ch = '_';
                             return name;
                         });

}  // namespace
}  // namespace vx

namespace vx {
namespace {

// info --verify hashes the media again: it matches the hash ewfacquire
// stored, and differs once a byte of the stored data is changed.
TEST(ImageContainerVerify, AcquisitionHashIsCheckedAgainstTheMedia) {
    if (!test::HaveTool("ewfacquire")) GTEST_SKIP() << "ewfacquire is not installed";
    test::TempDir dir;
    test::MustRun("cd " + Quote(dir.path()) + " && mkfs.fat -C -F 12 v.raw 2048 >/dev/null && head -c 300000 /dev/urandom | "
                  "dd of=v.raw bs=512 seek=200 conv=notrunc status=none && "
                  "ewfacquire -u -q -t v -c none -f encase6 v.raw >/dev/null 2>&1");
    auto info = [&](const std::string& file) {
        return test::Run("XDG_CONFIG_HOME=" + Quote(dir / "config") + " " + Quote(test::CliPath()) + " info " +
                         Quote(dir / file) + " --verify");
    };
    test::CommandResult good = info("v.E01");
    EXPECT_EQ(good.status, 0) << good.out << good.err;
    EXPECT_NE(good.out.find("Verification:   MD5 matches"), std::string::npos) << good.out;
    // Uncompressed chunks: a byte in the middle of the file is media data.
    test::MustRun("cd " + Quote(dir.path()) + " && cp v.E01 w.E01 && printf '\\125' | dd of=w.E01 bs=1 seek=400000 "
                  "conv=notrunc status=none");
    test::CommandResult bad = info("w.E01");
    EXPECT_EQ(bad.status, 1) << bad.out << bad.err;
    EXPECT_EQ(bad.out.find("MD5 matches"), std::string::npos) << bad.out;
    test::CommandResult none = info("v.raw");
    EXPECT_NE(none.out.find("Verification:   no stored hash to check"), std::string::npos) << none.out;
}

}  // namespace
}  // namespace vx
