// The explorer's rules as tables: size texts, the sort of the file list, the
// tree's filter, the search criteria, and the probable-size dialog's fields.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QButtonGroup>
#include <memory>

#include "device/Volume.h"
#include "recovery/RecoveryJob.h"
#include "tests/support/TestSupport.h"
#include "ui/explorer/ExplorerFilter.h"
#include "ui/explorer/ExplorerText.h"
#include "ui/explorer/FilesListModel.h"
#include "ui/explorer/SearchCriteria.h"
#include "ui/recovery/ProbableSizeDlg.h"

namespace vx {
namespace {

TEST(ExplorerRules, SizeTexts) {
    struct Case {
        uint64_t size;
        bool folder;
        const char* text;
    };
    const Case cases[] = {
        {0, false, "0"},
        {1024, false, "1024"},
        {1025, false, "1 KB"},
        {1048576, false, "1024 KB"},
        {1048577, false, "1 MB"},
        {1073741824, false, "1024 MB"},
        {1073741825, false, "1 GB"},
        {kSizeUnknown, false, "unknown"},
        {5000, true, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(SizeText(c.size, c.folder).toStdString(), c.text) << c.size;
}

// A volume whose collection holds the records the model sorts.
class ListFixture : public ::testing::Test {
protected:
    FoundObject* Add(const char* name, uint64_t size, uint64_t modified, bool folder = false, uint64_t created = 0) {
        FoundObject r;
        r.name = name;
        r.size = size;
        r.modified = modified;
        r.created = created;
        r.flags = uint16_t(object_flag::NameAssigned | (folder ? object_flag::Folder : 0));
        r.id = next_++;
        r.parent = 100;
        return volume_.collection.AddFromFileSystem(r, false);
    }
    std::vector<std::string> Names(const CFilesListModel& model) {
        std::vector<std::string> out;
        for (int row = 0; row < model.rowCount(); ++row) out.push_back(model.At(row)->name);
        return out;
    }
    CVolume volume_{VolumeKind::Image, kDriveImage};
    int32_t next_ = 200;
};

TEST_F(ListFixture, SortRules) {
    FoundObject folder;
    folder.flags = object_flag::Folder;
    folder.id = 100;
    folder.parent = 0;
    volume_.collection.AddFromFileSystem(folder, false);
    // created and modified differ: the date column follows the modified time.
    Add("beta.txt", 300, 30, false, 1);
    Add("Alpha.txt", 100, 10, false, 3);
    Add("gamma.txt", 200, 20, false, 2);
    Add("Zdir", 2, 5, true);  // folders carry no size; distinct values keep the order defined
    Add("adir", 1, 1, true);
    CFilesListModel model(false);
    model.SetVolume(&volume_);
    std::vector<FoundObject*> children;
    volume_.collection.ChildrenOf(100, children);
    model.Append(children);
    ASSERT_TRUE(model.Refresh());

    struct Step {
        int click;  // -1: none
        std::vector<std::string> order;
    };
    const Step steps[] = {
        {-1, {"adir", "Zdir", "Alpha.txt", "beta.txt", "gamma.txt"}},    // name, ascending
        {0, {"Zdir", "adir", "gamma.txt", "beta.txt", "Alpha.txt"}},     // name, flipped
        {1, {"Zdir", "adir", "beta.txt", "gamma.txt", "Alpha.txt"}},     // size, larger first (folders first)
        {1, {"adir", "Zdir", "Alpha.txt", "gamma.txt", "beta.txt"}},     // size, smaller first
        {3, {"Zdir", "adir", "beta.txt", "gamma.txt", "Alpha.txt"}},     // date modified, later first
        {3, {"adir", "Zdir", "Alpha.txt", "gamma.txt", "beta.txt"}},     // date modified, earlier first
        {2, {"adir", "Zdir", "Alpha.txt", "beta.txt", "gamma.txt"}},     // type sorts by name, flips too
    };
    for (const Step& step : steps) {
        if (step.click >= 0) {
            model.ClickColumn(step.click);
            ASSERT_TRUE(model.Refresh());
        }
        EXPECT_EQ(Names(model), step.order) << "after a click on column " << step.click;
    }
    EXPECT_EQ(model.SortColumn(), int(CFilesListModel::kName));
    // Nothing new and no click: no work.
    EXPECT_FALSE(model.Refresh());
    // The date column shows the modified time, not the created one.
    const int row = model.RowOf(volume_.collection.FindFirstById(201));
    EXPECT_EQ(model.data(model.index(row, CFilesListModel::kDate), Qt::DisplayRole).toString(), DateText(10));
}

TEST(ExplorerRules, FilterLeavesOutFolders) {
    struct Case {
        const char* what;
        uint16_t flags;
        int32_t id;
        const char* name;
        uint64_t created;
        bool deletedOnly, wildcards, dateOn;
        const char* pattern;
        bool leftOut;
    };
    constexpr uint16_t F = object_flag::Folder, D = object_flag::Deleted, C = object_flag::ContainsDeleted;
    const Case cases[] = {
        {"everything off", F, 10, "Docs", 5, false, false, false, "*.*", false},
        {"deleted only: live folder", F, 10, "Docs", 5, true, false, false, "*.*", true},
        {"deleted only: deleted folder", F | D, 10, "Docs", 5, true, false, false, "*.*", false},
        {"deleted only: contains deleted", F | C, 10, "Docs", 5, true, false, false, "*.*", false},
        {"deleted only: Lost files node", F, object_id::LostFiles, "Lost files", 5, true, false, false, "*.*", false},
        {"deleted only: the root", F, 2, ".", 5, true, false, false, "*.*", false},
        {"wildcard match", F, 10, "Docs", 5, false, true, false, "D?c*", false},
        {"wildcard is case-sensitive", F, 10, "Docs", 5, false, true, false, "d*", true},
        {"wildcard miss", F, 10, "Photos", 5, false, true, false, "D*", true},
        {"date inside", F, 10, "Docs", 150, false, false, true, "*", false},
        {"date outside", F, 10, "Docs", 250, false, false, true, "*", true},
        {"date unknown", F, 10, "Docs", 0, false, false, true, "*", false},
    };
    for (const Case& c : cases) {
        CExplorerFilter filter;
        filter.SetFlag(filter_offset::DeletedOnly, c.deletedOnly);
        filter.SetFlag(filter_offset::WildcardsOn, c.wildcards);
        filter.SetFlag(filter_offset::DateOn, c.dateOn);
        filter.SetPattern(c.pattern);
        filter.SetTime(filter_offset::From, 100);
        filter.SetTime(filter_offset::To, 200);
        FoundObject folder;
        folder.flags = c.flags;
        folder.id = c.id;
        folder.name = c.name;
        folder.created = c.created;
        EXPECT_EQ(filter.LeavesOut(folder, 2), c.leftOut) << c.what;
    }
}

TEST(ExplorerRules, FilterRecordDefaultsAndPattern) {
    CExplorerFilter filter;
    EXPECT_EQ(filter.Word(8), 1u);
    EXPECT_EQ(filter.Word(48), 1u);
    EXPECT_EQ(filter.Pattern(), "*.*");
    EXPECT_EQ(filter.Time(filter_offset::To), ~uint64_t(0));
    EXPECT_EQ(filter.Bytes()[120], '*');
    EXPECT_EQ(filter.Bytes()[121], 0);
    filter.SetPattern(std::string(300, 'x'));
    EXPECT_EQ(filter.Pattern().size(), 255u);
}

TEST(ExplorerRules, SearchCriteria) {
    struct Case {
        const char* what;
        const char* pattern;
        int sizeChoice;
        int32_t value;
        int unit, comparison;
        bool deletedOnly, ignoreFolders;
        const char* name;
        uint16_t flags;
        uint64_t size;
        bool matches;
    };
    constexpr uint16_t D = object_flag::Deleted, F = object_flag::Folder;
    const Case cases[] = {
        {"defaults: deleted file", "*", kSizeAny, 0, 1, 0, true, true, "a.txt", D, 10, true},
        {"defaults: live file", "*", kSizeAny, 0, 1, 0, true, true, "a.txt", 0, 10, false},
        {"defaults: deleted folder", "*", kSizeAny, 0, 1, 0, true, true, "dir", D | F, 0, false},
        {"folders allowed", "*", kSizeAny, 0, 1, 0, true, false, "dir", D | F, 0, true},
        {"pattern ignores case", "A?.TXT", kSizeAny, 0, 1, 0, false, true, "ab.txt", 0, 1, true},
        {"pattern miss", "*.doc", kSizeAny, 0, 1, 0, false, true, "ab.txt", 0, 1, false},
        {"5 KB smaller: 5119", "*", kSizeSpecify, 5, 1, 2, false, true, "a", 0, 5119, true},
        {"5 KB smaller: 5120", "*", kSizeSpecify, 5, 1, 2, false, true, "a", 0, 5120, false},
        {"5 KB equal: 5120", "*", kSizeSpecify, 5, 1, 0, false, true, "a", 0, 5120, true},
        {"5 KB equal: 5121", "*", kSizeSpecify, 5, 1, 0, false, true, "a", 0, 5121, false},
        {"5 KB larger: 5121", "*", kSizeSpecify, 5, 1, 1, false, true, "a", 0, 5121, true},
        {"small: 100 KB is not", "*", kSizeSmall, 0, 1, 0, false, true, "a", 0, 102400, false},
        {"medium", "*", kSizeMedium, 0, 1, 0, false, true, "a", 0, 0xFFFFF, true},
        {"large", "*", kSizeLarge, 0, 1, 0, false, true, "a", 0, 0x100001, true},
        {"unknown size passes", "*", kSizeLarge, 0, 1, 0, false, true, "a", 0, kSizeUnknown, true},
        {"2 GB equal", "*", kSizeSpecify, 2, 3, 0, false, true, "a", 0, 2147483648ull, true},
        {"no name", "*", kSizeAny, 0, 1, 0, false, true, "", 0, 1, false},
    };
    for (const Case& c : cases) {
        SearchCriteria criteria;
        criteria.pattern = c.pattern;
        criteria.SetSizeClass(c.sizeChoice, c.value, c.unit, c.comparison);
        criteria.deletedOnly = c.deletedOnly;
        criteria.ignoreFolders = c.ignoreFolders;
        FoundObject record;
        record.name = c.name;
        record.flags = c.flags;
        record.size = c.size;
        EXPECT_EQ(criteria.Matches(record), c.matches) << c.what;
    }
    // Date classes end now and reach back 7, 28 and 365 days.
    SearchCriteria dates;
    const uint64_t now = FileTimeNow();
    const std::pair<int, uint64_t> spans[] = {{kDatePastWeek, 604800}, {kDatePastMonth, 2419200}, {kDatePastYear, 31536000}};
    for (auto [choice, seconds] : spans) {
        dates.SetDateClass(choice, now);
        EXPECT_EQ(dates.to, now);
        EXPECT_EQ(dates.to - dates.from, seconds * 10000000ull);
    }
}

TEST(ExplorerRules, ProbableSizeDialogFields) {
    EXPECT_EQ(CProbableFileSizeDlg::KBytesText(1234567ull * 1024).toStdString(), "1 234 567 KBytes");
    EXPECT_EQ(CProbableFileSizeDlg::KBytesText(0).toStdString(), "0 KBytes");
    const std::pair<uint64_t, std::pair<uint64_t, int>> starts[] = {
        {1536, {1, 1}}, {1024, {1024, 0}}, {3 * 0x100000ull + 5, {3, 2}}, {0x40000001ull, {1, 3}}};
    for (const auto& [size, expected] : starts) EXPECT_EQ(CProbableFileSizeDlg::InitialCustom(size), expected) << size;

    // The custom rule multiplies the number by its unit in 64 bits.
    const std::tuple<const char*, int, uint64_t> customs[] = {{"2", 3, 2147483648ull}, {"3", 1, 3072}, {"7", 0, 7}};
    for (const auto& [text, unit, bytes] : customs) {
        FoundObject object;
        object.size = kSizeUnknown;
        CProbableFileSizeDlg dialog(object, ProbableSizeQuestion{});
        dialog.rules->button(kSizeRuleCustom)->click();
        dialog.customEdit->setText(QString::fromLatin1(text));
        dialog.unit->setCurrentIndex(unit);
        dialog.scopes->button(2)->click();
        dialog.accept();
        EXPECT_EQ(dialog.result(), kSizeOk);
        EXPECT_EQ(dialog.Answer().rule, uint32_t(kSizeRuleCustom));
        EXPECT_EQ(dialog.Answer().scope, 2u);
        EXPECT_EQ(dialog.Answer().customSize, bytes) << text;
    }
    // Not a number: the dialog stays open.
    FoundObject object;
    CProbableFileSizeDlg dialog(object, ProbableSizeQuestion{});
    dialog.rules->button(kSizeRuleCustom)->click();
    dialog.customEdit->setText(QStringLiteral("many"));
    dialog.setResult(-1);
    dialog.accept();
    EXPECT_EQ(dialog.result(), -1);
}

}  // namespace
}  // namespace vx
