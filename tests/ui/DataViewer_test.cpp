// The data viewer pane on real images: a fragmented file's bytes in file
// order, its runs, its information fields, and the preview of a picture
// found by content. The image is only ever opened for reading.
#include <gtest/gtest.h>

#include <QImage>
#include <QTabWidget>
#include <QTest>

#include <memory>

#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "fs/Analysis.h"
#include "fs/AnalysisState.h"
#include "signatures/FileTypeDatabase.h"
#include "tests/support/TestSupport.h"
#include "ui/viewer/DataInfoView.h"
#include "ui/viewer/DataSectorsListView.h"
#include "ui/viewer/HexEditorCtrl.h"
#include "ui/viewer/HexViewerPane.h"
#include "ui/viewer/ObjectInformation.h"
#include "ui/viewer/PreviewView.h"

namespace vx {
namespace {

using test::MustRun;
using test::Quote;

const char* kMtools = "MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8 TZ=UTC ";

const FoundObject* FindByName(const CVolume& volume, const std::string& name) {
    const FoundObject* found = nullptr;
    volume.collection.Visit([&](const FoundObject& r) {
        if (!r.IsVolumeNode() && r.name && name == r.name) found = &r;
    });
    return found;
}

class DataViewerTest : public ::testing::Test {
protected:
    test::ScopedConfig config_;
    test::TempDir dir_;
};

TEST_F(DataViewerTest, FragmentedFileShowsItsTrueBytesAfterTheFirstFragment) {
    const std::string image = dir_ / "frag.img", chunk = dir_ / "chunk", big = dir_ / "big.bin";
    MustRun("mkfs.fat -C -s 1 " + Quote(image) + " 2048 >/dev/null");
    test::WriteFile(chunk, test::RandomBytes(1024, 5));
    test::WriteFile(big, test::RandomBytes(300000, 6));
    const std::string i = "-i " + Quote(image) + " ";
    std::string script;
    for (int n = 1; n <= 6; ++n) script += kMtools + ("mcopy " + i + Quote(chunk) + " ::/h" + std::to_string(n)) + "; ";
    script += kMtools + ("mdel " + i + "::/h2 ::/h4") + "; ";
    script += kMtools + ("mcopy " + i + Quote(big) + " ::/big.bin");
    MustRun("set -e; " + script);

    test::SourceWatch watch(image);
    std::unique_ptr<CVolume> volume = Computer().OpenSource(image);
    ASSERT_TRUE(volume);
    volume->ParseBootSector();
    TheAnalysisState().running = 1;
    AnalyseFileSystem(*volume);
    TheAnalysisState().running = 0;
    const FoundObject* object = FindByName(*volume, "big.bin");
    ASSERT_TRUE(object);

    CHexViewer_Pane pane;
    pane.resize(1200, 500);
    pane.show();
    pane.ShowObject(volume.get(), object);
    EXPECT_GE(pane.RunList()->topLevelItemCount(), 3);  // two holes, then the rest
    CHexEditorCtrl2* hex = pane.HexView();
    ASSERT_EQ(hex->DataSize(), 300000u);
    EXPECT_TRUE(hex->IsReadOnly());

    // The first fragment is one 1024-byte hole; look well past it.
    const std::string original = test::ReadFile(big);
    for (uint64_t line : {uint64_t(0), uint64_t(64), uint64_t(100), uint64_t(5000), uint64_t(300000 / 16 - 1)}) {
        const QString text = hex->LineText(line);
        QString want = QStringLiteral("%1 ").arg(line * 16, 8, 16, QLatin1Char('0')).toUpper();
        for (int b = 0; b < 16; ++b) {
            if (b == 8) want += ' ';
            want += QStringLiteral(" %1").arg(uint8_t(original[line * 16 + b]), 2, 16, QLatin1Char('0')).toUpper();
        }
        EXPECT_TRUE(text.startsWith(want)) << "line " << line << ": " << text.toStdString();
    }
    // Ctrl+End and reading the whole view page by page gives the file.
    hex->setFocus();
    QTest::keyClick(hex, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(hex->End(), 299999);
    std::string all(300000, '\0');
    ASSERT_EQ(hex->Source()->Read(0, reinterpret_cast<uint8_t*>(all.data()), all.size()), all.size());
    EXPECT_TRUE(all == original);
    // Typing changes nothing: the pane is read-only.
    QTest::keyClicks(hex, "00");
    uint8_t last = 0;
    hex->Source()->Read(299999, &last, 1);
    EXPECT_EQ(last, uint8_t(original.back()));

    EXPECT_EQ(pane.InfoView()->Value("Size:"), "300000");
    EXPECT_EQ(pane.InfoView()->Value("Size on disk:"), QString::number(SizeOnDisk(300000, volume->bytesPerCluster)));
    EXPECT_EQ(pane.InfoView()->Value("Status:"), "Live");
    pane.Pages()->setCurrentWidget(pane.PreviewView());
    EXPECT_EQ(pane.PreviewView()->Current().kind, Preview::Kind::None);  // random bytes
    pane.ShowObject(nullptr, nullptr);
    volume.reset();
    EXPECT_TRUE(watch.ReadOnly());
}

TEST_F(DataViewerTest, PreviewOfAPictureFoundByContent) {
    FileTypes().LoadDatabase();
    const std::string image = dir_ / "lost.img", png = dir_ / "PICTURE.PNG";
    QImage picture(80, 40, QImage::Format_RGB32);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 80; ++x) picture.setPixel(x, y, qRgb(x * 3, y * 6, 128));
    ASSERT_TRUE(picture.save(QString::fromStdString(png), "PNG"));
    MustRun("mkfs.fat -C -F 32 -s 1 " + Quote(image) + " 40960 >/dev/null");
    MustRun(std::string(kMtools) + "mcopy -i " + Quote(image) + " " + Quote(png) + " ::");
    MustRun("mkfs.fat -F 32 -s 1 " + Quote(image) + " >/dev/null");  // formatted again: only the data is left

    test::SourceWatch watch(image);
    std::unique_ptr<CVolume> volume = Computer().OpenSource(image);
    ASSERT_TRUE(volume);
    volume->ParseBootSector();
    TheAnalysisState().running = 1;
    AnalyseSectors(*volume);
    TheAnalysisState().running = 0;
    const FoundObject* lost = nullptr;
    volume->collection.Visit([&](const FoundObject& r) {
        if (!r.IsVolumeNode() && r.IsFoundByContent() && r.type == 88) lost = &r;
    });
    ASSERT_TRUE(lost) << "the PNG was not found by content";

    CHexViewer_Pane pane;
    pane.resize(1200, 500);
    pane.show();
    pane.ShowObject(volume.get(), lost);
    pane.Pages()->setCurrentWidget(pane.PreviewView());
    const Preview& preview = pane.PreviewView()->Current();
    ASSERT_EQ(preview.kind, Preview::Kind::Image);
    EXPECT_EQ(preview.image.size(), QSize(80, 40));
    EXPECT_EQ(preview.image.pixel(10, 5), qRgb(30, 30, 128));
    EXPECT_TRUE(pane.HexView()->LineText(0).startsWith("00000000  89 50 4E 47"));
    pane.ShowObject(nullptr, nullptr);
    volume.reset();
    EXPECT_TRUE(watch.ReadOnly());
}

TEST(Preview, TextIsGuessedFromItsBytes) {
    struct Case {
        const char* name;
        QByteArray bytes;
        const char* text;  // null: no preview
    };
    const Case cases[] = {
        {"ascii", "hello world\r\n", "hello world\r\n"},
        {"utf-8", "gr\xC3\xBC\xC3\x9F" "e", "gr\u00FC\u00DF" "e"},
        {"utf-8 bom", "\xEF\xBB\xBFok", "ok"},
        {"utf-16le bom", QByteArray("\xFF\xFEh\0i\0", 6), "hi"},
        {"utf-16le plain", QByteArray("t\0e\0x\0t\0", 8), "text"},
        {"utf-16be bom", QByteArray("\xFE\xFF\0h\0i", 6), "hi"},
        {"cp1252", "caf\xE9 \x80", "caf\u00E9 \u20AC"},
        {"binary", QByteArray("\x01\x02\x03\x00\x05\x06\x07\x08", 8), nullptr},
    };
    for (const Case& c : cases) {
        const Preview p = MakePreview(c.bytes);
        if (!c.text) {
            EXPECT_EQ(p.kind, Preview::Kind::None) << c.name;
            continue;
        }
        EXPECT_EQ(p.kind, Preview::Kind::Text) << c.name;
        EXPECT_EQ(p.text, QString::fromUtf8(c.text)) << c.name;
    }
    // Only the first 64 KiB are shown.
    EXPECT_EQ(GuessText(QByteArray(200000, 'a')).size(), 65536);
}

TEST(ObjectInformation, FieldsOfFoldersAndSizesOnDisk) {
    CVolume volume(VolumeKind::Image, kDriveImage);
    volume.bytesPerCluster = 4096;
    FoundObject folder;
    folder.flags = object_flag::Folder | object_flag::Deleted;
    folder.name = "OLD";
    folder.start = 12345;
    folder.size = 777;
    folder.id = 7;
    folder.parent = 3;
    ObjectInformation info = DescribeObject(volume, folder);
    auto value = [&](const char* label) {
        for (const auto& [l, v] : info.rows)
            if (l == label) return v;
        return QString("(none)");
    };
    EXPECT_EQ(value("Status:"), "Deleted");
    EXPECT_EQ(value("Type:"), "Folder");
    EXPECT_EQ(value("Offset:"), "0");
    EXPECT_EQ(value("Size:"), "0");
    EXPECT_EQ(value("Size on disk:"), "0");
    EXPECT_EQ(value("Id:"), "7");
    EXPECT_EQ(value("Parent Id:"), "3");
    EXPECT_EQ(value("Created time:"), "unknown");
    FoundObject file;
    file.name = "a.txt";
    file.size = 1000;
    info = DescribeObject(volume, file);
    EXPECT_EQ(value("Size on disk:"), "4096");
    file.size = 8192;
    info = DescribeObject(volume, file);
    EXPECT_EQ(value("Size on disk:"), "8192");
    EXPECT_EQ(value("Status:"), "Live");
}

}  // namespace
}  // namespace vx
