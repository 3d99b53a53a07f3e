#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <chrono>

#include "device/DriveImage.h"
#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "tests/support/TestSupport.h"
#include "ui/images/CreateVirtualDriveDlg.h"
#include "ui/images/CreatingImageDlg.h"

namespace vx {
namespace {

using namespace std::chrono_literals;

TEST(CreatingImageDlg, TextsAsATable) {
    EXPECT_EQ(TransferSpeedText(1048576, 60s), "8 738 KB\\s");
    EXPECT_EQ(GroupDigits(1048576), "1 048 576");
    EXPECT_EQ(GroupDigits(999), "999");
    EXPECT_EQ(GroupDigits(250059350016ull), "250 059 350 016");
    EXPECT_EQ(ElapsedText(3723s), "01:02:03");
    CVolume drive(VolumeKind::Logical, kDriveRemovable);
    drive.letter = 'F';
    EXPECT_EQ(DefaultImageName(drive), "Image from drive F");
    drive.label = "CARD       ";
    EXPECT_EQ(DefaultImageName(drive), "Image from drive F (CARD)");
    drive.letter = 0;
    drive.kernelName = "sdb1";
    EXPECT_EQ(DefaultImageName(drive), "Image from drive sdb1 (CARD)");
}

TEST(CreatingImageDlg, FollowsTheCopyToItsEndWithTheUnreadableCount) {
    test::ScopedConfig config;
    test::TempDir dir;
    const std::string source = dir / "card.img";
    test::WriteFile(source, test::RandomBytes(10 << 20, 3));
    test::ScopedFaultySectors faults(source, {100, 101, 9000});
    std::unique_ptr<CVolume> volume = Computer().OpenSource(source);
    ASSERT_TRUE(volume);
    CImageJob job(*volume, dir / "copy.dsk", false);
    CCreatingImageDlg dialog(job);
    dialog.show();
    EXPECT_EQ(dialog.button->text(), "Cancel");
    EXPECT_EQ(dialog.path->text().toStdString(), dir / "copy.dsk");
    ASSERT_TRUE(job.Start());
    for (int i = 0; i < 400 && !dialog.Done(); ++i) {
        QTest::qWait(25);
        dialog.Poll();
    }
    ASSERT_TRUE(dialog.Done());
    EXPECT_EQ(dialog.button->text(), "OK");
    EXPECT_EQ(dialog.progress->value(), 100);
    EXPECT_EQ(dialog.unreadable->text(), "3");
    EXPECT_TRUE(dialog.status->text().contains("3 unreadable sector(s)")) << dialog.status->text().toStdString();
    EXPECT_TRUE(dialog.speed->text().endsWith("KB\\s"));
    EXPECT_EQ(test::ReadFile(dir / "copy.dsk").size(), size_t(10 << 20));
}

TEST(CreatingImageDlg, CancelStopsTheCopyAndAnImageOnItsSourceIsRefused) {
    test::ScopedConfig config;
    test::TempDir dir;
    const std::string source = dir / "disk.img";
    test::WriteFile(source, test::RandomBytes(1 << 20, 4));
    std::unique_ptr<CVolume> volume = Computer().OpenSource(source);
    ASSERT_TRUE(volume);
    {
        CImageJob job(*volume, source, true);
        CCreatingImageDlg dialog(job);
        job.DriveCreateImage();
        dialog.Poll();
        EXPECT_TRUE(dialog.Done());
        EXPECT_EQ(job.Result(), CImageJob::Outcome::TargetOnSource);
        EXPECT_TRUE(dialog.status->text().contains("another drive"));
    }
    CImageJob job(*volume, dir / "copy.dsk", false);
    CCreatingImageDlg dialog(job);
    job.Stop();
    job.DriveCreateImage();
    dialog.reject();
    EXPECT_EQ(job.Result(), CImageJob::Outcome::Stopped);
}

TEST(CreateVirtualDriveDlg, FieldsBecomeARangeOfWholeSectors) {
    CVolume volume(VolumeKind::Image, kDriveImage);
    volume.totalBytes = 8000000000ull;  // 8 GB
    CCreateVirtualDriveDlg dialog(volume);
    EXPECT_EQ(dialog.start->text(), "0.0");
    EXPECT_EQ(dialog.size->text(), "8.0");
    EXPECT_EQ(dialog.right->text(), "8.0 GB");
    struct Case {
        const char* start;
        int startUnit;
        const char* size;
        int sizeUnit;
        bool ok;
        uint64_t wantStart, wantSize;
    };
    const Case cases[] = {
        {"0.0", 0, "8.0", 0, true, 0, 8000000000ull},
        {"1", 0, "2.5", 0, true, 1000000000ull, 2500000000ull / 512 * 512},
        {"100", 1, "10", 2, true, 100000000ull / 512 * 512, 9728},
        {"7.5", 0, "9", 0, true, 7500000000ull / 512 * 512, (8000000000ull - 7500000000ull / 512 * 512) / 512 * 512},
        {"9", 0, "1", 0, false, 0, 0},       // starts past the end
        {"x", 0, "1", 0, false, 0, 0},       // not a number
        {"0", 0, "0.0001", 2, false, 0, 0},  // less than a sector
    };
    for (const Case& c : cases) {
        dialog.start->setText(c.start);
        dialog.startUnit->setCurrentIndex(c.startUnit);
        dialog.size->setText(c.size);
        dialog.sizeUnit->setCurrentIndex(c.sizeUnit);
        uint64_t start = 0, size = 0;
        ASSERT_EQ(dialog.Range(start, size), c.ok) << c.start << " " << c.size;
        if (!c.ok) continue;
        EXPECT_EQ(start, c.wantStart) << c.start;
        EXPECT_EQ(size, c.wantSize) << c.size;
    }
}

}  // namespace
}  // namespace vx
