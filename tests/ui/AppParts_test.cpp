// The pieces of the main window that hold logic: progress figures, grey
// button images, the About box's version text, the help search.
#include <gtest/gtest.h>

#include <QTextBrowser>

#include <QFile>

#include "fs/AnalysisState.h"
#include "platform/DeviceEvents.h"
#include "ui/app/AboutDlg.h"
#include "ui/app/AnalysisProgress.h"
#include "ui/app/HelpWindow.h"
#include "ui/app/Icons.h"
#include "ui/log/LegendPane.h"

namespace vx {
namespace {

TEST(AnalysisProgress, PercentOfEveryTotal) {
    struct Row { uint64_t total, position; int percent; };
    const Row rows[] = {
        {0, 0, -1}, {0, 5, -1},              // no total: busy
        {1000, 0, 0}, {1000, 250, 25}, {1000, 1000, 100}, {1000, 5000, 100},
        {50, 25, 50},                         // below 100 the bar still moves
        {uint64_t(1) << 40, uint64_t(1) << 39, 50},
    };
    for (const Row& r : rows) EXPECT_EQ(CAnalysisProgress::Percent(r.total, r.position), r.percent) << r.total << " " << r.position;
}

TEST(AnalysisProgress, ScanShowsSpeedAndTimeLeft) {
    AnalysisState state;
    state.running = 1;
    state.total = 1000;
    CAnalysisProgress progress;
    progress.BeginScan(1'000'000);
    state.progress = 100;
    EXPECT_EQ(progress.Sample(state, 10.0).text, "10%");
    state.progress = 300;
    EXPECT_EQ(progress.Sample(state, 12.0).text, "30%  100.0 MB/s  0:07 left");
    progress.Reset();
    EXPECT_EQ(progress.Sample(state, 13.0).text, "30%");
}

TEST(GreyImage, FollowsTheLuminanceFormulaAndKeepsBlackAndAlpha) {
    QImage image(4, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(0, 0, 0, 255));
    image.setPixel(1, 0, qRgba(255, 0, 0, 255));
    image.setPixel(2, 0, qRgba(10, 200, 30, 128));
    image.setPixel(3, 0, qRgba(255, 255, 255, 0));
    const QImage grey = GreyImage(image);
    EXPECT_EQ(grey.pixel(0, 0), qRgba(0, 0, 0, 255));
    EXPECT_EQ(grey.pixel(1, 0), qRgba(76, 76, 76, 255));     // floor(0.299 * 255)
    EXPECT_EQ(grey.pixel(2, 0), qRgba(123, 123, 123, 128));  // floor(2.99 + 117.4 + 3.42)
    EXPECT_EQ(qAlpha(grey.pixel(3, 0)), 0);
}

TEST(Icons, ProgramAndToolbarPicturesWithoutATheme) {
    const QString theme = QIcon::themeName();
    QIcon::setThemeName("no-such-theme");
    EXPECT_FALSE(ProgramIcon().pixmap(48, 48).isNull());
    for (const char* name : {"media-playback-start", "process-stop", "view-refresh", "document-save", "edit-find",
                             "preferences-system", "help-browser", "help-about"}) {
        const QIcon icon = CommandIcon(name);
        EXPECT_FALSE(icon.pixmap(24, 24).isNull()) << name;
        EXPECT_FALSE(icon.pixmap(24, 24, QIcon::Disabled).isNull()) << name;
    }
    QIcon::setThemeName(theme);
}

TEST(AboutDlg, VersionTextFromTheVersionBlock) {
    EXPECT_EQ(CAboutDlg::VersionText("2, 8, 0, 255"), "Version 2.8 Build 255");
    EXPECT_EQ(CAboutDlg::VersionText(CAboutDlg::FileVersion()).left(8), "Version ");
}

TEST(HelpWindow, PagesExistAndTheSearchFindsThem) {
    CHelpWindow help;
    for (const char* page : {"index.html", "quickstart.html", "deleted.html", "lost.html", "partition.html", "failing.html"})
        EXPECT_TRUE(QFile::exists(CHelpWindow::HelpFolder() + "/" + page)) << page;
    help.Search("ddrescue");
    EXPECT_TRUE(help.Browser()->toHtml().contains("failing.html"));
    help.Search("nothing-mentions-this");
    EXPECT_TRUE(help.Browser()->toPlainText().contains("No page mentions"));
}

TEST(LegendView, ShowsTheLegendPage) {
    CLegendView view;
    EXPECT_TRUE(view.toPlainText().contains("Lost files"));
}

TEST(DeviceEvents, KernelAnnouncementsOfDisksAndPartitions) {
    const char add[] = "add@/devices/virtual/block/sdb/sdb1\0ACTION=add\0DEVPATH=/devices/x\0SUBSYSTEM=block\0"
                       "DEVNAME=sdb1\0DEVTYPE=partition\0";
    DeviceEvent event;
    ASSERT_TRUE(ParseDeviceEvent(add, sizeof add - 1, event));
    EXPECT_TRUE(event.added);
    EXPECT_EQ(event.kernelName, "sdb1");
    EXPECT_TRUE(event.partition);
    const char remove[] = "remove@/x\0ACTION=remove\0SUBSYSTEM=block\0DEVNAME=/dev/mmcblk0\0DEVTYPE=disk\0";
    ASSERT_TRUE(ParseDeviceEvent(remove, sizeof remove - 1, event));
    EXPECT_FALSE(event.added);
    EXPECT_EQ(event.kernelName, "mmcblk0");
    const char usb[] = "add@/x\0ACTION=add\0SUBSYSTEM=usb\0DEVNAME=bus/usb/001/002\0DEVTYPE=usb_device\0";
    EXPECT_FALSE(ParseDeviceEvent(usb, sizeof usb - 1, event));
}

}  // namespace
}  // namespace vx
