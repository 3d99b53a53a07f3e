#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/DesktopAssociation.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::Quote;

TEST(DesktopAssociation, SignatureFilesGetTheirTypeAndOpenWithAddsig) {
    test::TempDir dir;
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_DATA_HOME", dir.path().c_str(), 1);
    const int written = RegisterSignatureFileAssociation("/opt/my apps/vornex");
    if (old) setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else unsetenv("XDG_DATA_HOME");
    ASSERT_EQ(written, 1);

    const std::string entry = test::ReadFile(dir / "applications/quillon-filesignature.desktop");
    EXPECT_NE(entry.find("Exec=\"/opt/my apps/vornex\" /addsig %f\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("MimeType=application/x-quillon-filesignature;\n"), std::string::npos);
    EXPECT_NE(test::ReadFile(dir / "mime/packages/quillon-filesignature.xml").find("<glob pattern=\"*.filesig\"/>"),
              std::string::npos);

    if (!test::HaveTool("xdg-mime") || !test::HaveTool("update-mime-database") || !test::HaveTool("gio"))
        GTEST_SKIP() << "xdg-mime, update-mime-database or gio is not installed";
    test::WriteFile(dir / "camera.filesig", std::string("\x10\x27\0\0\x8d\xff\xff\xff", 8));
    // xdg-mime asks the desktop's own MIME database (through gio on a GNOME session).
    const std::string type = test::MustRun("XDG_CURRENT_DESKTOP=GNOME XDG_DATA_HOME=" + Quote(dir.path()) +
                                           " xdg-mime query filetype " + Quote(dir / "camera.filesig"));
    EXPECT_EQ(type, std::string(kSignatureMimeType) + "\n");
}

}  // namespace
}  // namespace vx
