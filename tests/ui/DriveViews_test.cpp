#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QUrl>

#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "tests/support/TestSupport.h"
#include "ui/drives/DriveViews.h"
#include "ui/drives/VolumeInfoView.h"

namespace vx {
namespace {

TEST(VolumeInfoView, TextsAsATable) {
    EXPECT_EQ(TotalSpaceText(250059350016ull), "232 GB (250 059 350 016 bytes)");
    EXPECT_EQ(TotalSpaceText(1474560), "1 MB (1 474 560 bytes)");
    EXPECT_EQ(TotalSpaceText(1024), " (1 024 bytes)");
    EXPECT_EQ(TotalSpaceText(2048), "2 KB (2 048 bytes)");
    EXPECT_EQ(SerialText(0x1234, 0xABCD), "1234ABCD");
    EXPECT_EQ(SerialText(0, 0xC0FFEE), "C0FFEE");
    EXPECT_EQ(std::string(MediaTypeText(2)), "3.5\" floppy, with 1.44MB and 512 bytes/sector");
    EXPECT_EQ(std::string(MediaTypeText(12)), "Fixed hard disk");
    EXPECT_EQ(std::string(MediaTypeText(99)), "");
}

TEST(VolumeInfoView, RowsOfADiskAndOfAVolume) {
    CVolume disk(VolumeKind::Physical, kDriveFixed);
    disk.letter = '3';
    disk.totalBytes = 250059350016ull;
    disk.geometry.mediaType = 12;
    disk.geometry.cylinders = 30401;
    disk.geometry.tracksPerCylinder = 255;
    disk.geometry.sectorsPerTrack = 63;
    disk.devicePath = "/dev/sdc";
    disk.state = VolumeState::QueryInformation;
    CVolumeInfoView view;
    view.Show(&disk);
    EXPECT_EQ(view.Value(" Type"), "Fixed");
    EXPECT_EQ(view.Value(" Category"), "Physical");
    EXPECT_EQ(view.Value(" System Path"), "/dev/sdc");
    EXPECT_EQ(view.Value(" Total Space"), "232 GB (250 059 350 016 bytes)");
    EXPECT_EQ(view.Value(" Device Number"), "3");
    EXPECT_EQ(view.Value(" Media Type"), "Fixed hard disk");
    EXPECT_EQ(view.Value(" Cylinders"), "30401");
    EXPECT_EQ(view.Value(" Bytes Per Sector"), "512");
    EXPECT_EQ(view.Value(" State"), "Query Information");

    test::ScopedConfig config;
    test::TempDir dir;
    test::MustRun("mkfs.fat -C -F 16 -n PHOTOS -i 1234ABCD " + test::Quote(dir / "card.img") + " 16384 >/dev/null");
    std::unique_ptr<CVolume> opened = Computer().OpenSource(dir / "card.img");
    ASSERT_TRUE(opened);
    opened->ParseBootSector();
    CVolume* image = opened.get();
    view.Show(image);
    EXPECT_EQ(view.Value(" Type"), "OS File");
    EXPECT_EQ(view.Value(" Category"), "Volume Image");
    EXPECT_EQ(view.Value(" Label").trimmed(), "PHOTOS");
    EXPECT_EQ(view.Value(" File System"), QString::fromStdString(image->fileSystemName));
    EXPECT_NE(view.Value(" File System"), "Unknown");
    EXPECT_EQ(view.Value(" Cluster size"), QString::number(image->bytesPerCluster));
    EXPECT_EQ(view.Value(" Total Sectors"), "32768");
    EXPECT_EQ(view.Value(" Serial Number"), "1234ABCD");
    EXPECT_EQ(view.Value(" State"), "Ready");
    for (int i = 0; i < view.topLevelItemCount(); ++i) EXPECT_TRUE(view.topLevelItem(i)->text(0).startsWith(' '));

    CVolumeInformationDlg dialog(*image);
    auto general = CVolumeInformationDlg::GeneralRows(*image);
    EXPECT_EQ(general[0].second, image->fileSystemName);
    EXPECT_EQ(general[4].second, "1234ABCD");
    auto information = CVolumeInformationDlg::InformationRows(*image);
    EXPECT_EQ(information[1].second, std::to_string(image->sectorsPerCluster));
    auto capabilities = CVolumeInformationDlg::CapabilityRows(*image);
    ASSERT_EQ(capabilities.size(), 13u);
    EXPECT_EQ(capabilities[0].second, "No");   // named streams
    EXPECT_EQ(capabilities[11].second, "Yes");  // long names are UTF-16 on disk
}

TEST(RecycleBinView, ListsTheTrashWithOriginalPathsAndDates) {
    test::TempDir home;
    test::MustRun("mkdir -p " + test::Quote(home / "Trash/files/holiday") + " " + test::Quote(home / "Trash/info"));
    test::WriteFile(home / "Trash/files/a.txt", "x");
    test::WriteFile(home / "Trash/info/a.txt.trashinfo",
                    "[Trash Info]\nPath=/home/u/My%20Docs/a.txt\nDeletionDate=2024-05-01T10:20:30\n");
    test::WriteFile(home / "Trash/info/holiday.trashinfo",
                    "[Trash Info]\r\nPath=Pictures/holiday\r\nDeletionDate=2023-12-24T08:00:00\r\n");
    test::WriteFile(home / "Trash/info/broken.trashinfo", "[Other]\nPath=/nowhere\n");
    test::WriteFile(home / "Trash/info/notes.txt", "not an info file");
    CRecycleBinView view;
    view.Fill(home.path());
    ASSERT_EQ(view.topLevelItemCount(), 2);
    EXPECT_EQ(view.topLevelItem(0)->text(0), "a.txt");
    EXPECT_EQ(view.topLevelItem(0)->text(1), "/home/u/My Docs/a.txt");
    EXPECT_FALSE(view.topLevelItem(0)->text(2).isEmpty());
    EXPECT_EQ(view.topLevelItem(1)->text(1).toStdString(), home / "Pictures/holiday");
}

TEST(MyComputerView, ShowsThePageAndItsLinksAskForCommands) {
    CMyComputerView view;
    EXPECT_TRUE(view.toPlainText().contains("Getting your files back"));
    QSignalSpy spy(&view, &CMyComputerView::CommandRequested);
    emit view.anchorClicked(QUrl("vornex:command/32782"));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 32782);
}

}  // namespace
}  // namespace vx
