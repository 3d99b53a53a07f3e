// The GUI tests' entry: real widgets on Qt's offscreen platform, one
// application object for the whole program, GoogleTest driving the cases.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QByteArray>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("LC_ALL", "C.UTF-8");
    qunsetenv("LANGUAGE");
    static char runtimeDir[] = "/tmp/vornex-ui-test-XXXXXX";
    if (mkdtemp(runtimeDir)) qputenv("XDG_RUNTIME_DIR", runtimeDir);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    rmdir(runtimeDir);
    return result;
}
