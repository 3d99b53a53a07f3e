// The settings sheet and the file-format properties on a real settings
// record and file-type database in a temporary configuration folder.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include "settings/ProgramSettings.h"
#include "signatures/FileTypeDatabase.h"
#include "tests/support/TestSupport.h"
#include "ui/formats/ObjectInformationView.h"
#include "ui/formats/SignatureDataViewCtrl.h"
#include "ui/settings/ProgSettings.h"
#include "ui/settings/ProgSettingsPages.h"
#include "ui/settings/SearchFileTypeTreeView.h"
#include "ui/viewer/HexEditorCtrl.h"

namespace vx {
namespace {

namespace so = settings_offset;

class SettingsSheetTest : public ::testing::Test {
protected:
    void SetUp() override { FileTypes().LoadDatabase(); }
    test::ScopedConfig config_;
};

TEST_F(SettingsSheetTest, UncheckingTheUpdateCheckStoresMinusOne) {
    {
        CProgSettings sheet(CProgSettings::Common);
        sheet.show();
        ASSERT_TRUE(sheet.common->WasShown());
        EXPECT_TRUE(sheet.common->autoCheck->isChecked());
        sheet.common->autoCheck->click();
        sheet.accept();
        EXPECT_EQ(sheet.result(), QDialog::Accepted);
    }
    EXPECT_EQ(Settings().Int(so::UpdateCheckPeriod), -1);
    CProgSettings again(CProgSettings::Common);
    again.show();
    EXPECT_FALSE(again.common->autoCheck->isChecked());
}

TEST_F(SettingsSheetTest, TemporaryFolderInOtherCaseOpensOnTheSystemChoice) {
    Settings().SetText(so::TemporaryFolder, 4096, SystemTemporaryPath().toUpper().toStdString());
    Settings().SetFlag(so::CustomTemporaryFolder, true);
    CProgSettings sheet(CProgSettings::Temporary);
    sheet.show();
    EXPECT_TRUE(sheet.temporary->system->isChecked());
    EXPECT_FALSE(sheet.temporary->folder->isEnabled());
    EXPECT_FALSE(sheet.temporary->browse->isEnabled());
    EXPECT_FALSE(Settings().Flag(so::CustomTemporaryFolder));
}

TEST_F(SettingsSheetTest, CancelKeepsTheCustomChoiceButNotTheTypedFolder) {
    const std::string before = Settings().TemporaryFolderPath();
    {
        CProgSettings sheet(CProgSettings::Temporary);
        sheet.show();
        sheet.temporary->custom->click();
        EXPECT_TRUE(sheet.temporary->folder->isEnabled());
        sheet.temporary->folder->setText("/somewhere/else");
        sheet.reject();
    }
    EXPECT_TRUE(Settings().Flag(so::CustomTemporaryFolder));
    EXPECT_EQ(Settings().TemporaryFolderPath(), before);
}

TEST_F(SettingsSheetTest, APageNeverShownStoresNothing) {
    Settings().SetWord(so::RetryAttempts, 7);
    CProgSettings sheet(CProgSettings::Common);
    sheet.show();
    sheet.driveAccess->retries->setValue(99);  // changed without the page ever being shown
    EXPECT_FALSE(sheet.driveAccess->WasShown());
    sheet.accept();
    EXPECT_EQ(Settings().RetryAttempts(), 7u);
}

TEST_F(SettingsSheetTest, ANumberFieldWithoutANumberKeepsTheSheetOpen) {
    CProgSettings sheet(CProgSettings::DriveAccess);
    sheet.show();
    QLineEdit* text = sheet.driveAccess->retries->findChild<QLineEdit*>();
    ASSERT_TRUE(text);
    text->setText("");
    sheet.accept();
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(sheet.result(), 0);
    text->setText("12");
    sheet.accept();
    EXPECT_EQ(Settings().RetryAttempts(), 12u);
}

TEST_F(SettingsSheetTest, LoggingEnablesItsFieldsAndStoresTheCheckAtOnce) {
    Settings().SetFlag(so::SaveLogInFile, false);
    CProgSettings sheet(CProgSettings::Logging);
    sheet.show();
    EXPECT_FALSE(sheet.logging->fileName->isEnabled());
    EXPECT_FALSE(sheet.logging->maxSize->isEnabled());
    EXPECT_FALSE(sheet.logging->clear->isEnabled());
    EXPECT_TRUE(sheet.logging->debugWindow->isEnabled());
    sheet.logging->save->click();
    EXPECT_TRUE(sheet.logging->fileName->isEnabled());
    EXPECT_TRUE(Settings().Flag(so::SaveLogInFile));  // before OK
    sheet.logging->save->click();
    sheet.reject();
    EXPECT_FALSE(Settings().Flag(so::SaveLogInFile));
}

TEST_F(SettingsSheetTest, FileTypeGroupsFollowTheirTypesAndOkSavesTheDatabase) {
    CProgSettings sheet(CProgSettings::FileTypes);
    sheet.show();
    CSearchFileTypeTreeView* tree = sheet.fileTypes->tree;
    QTreeWidgetItem* images = tree->GroupItem(group_id::Images);
    ASSERT_TRUE(images);
    ASSERT_GE(images->childCount(), 2);
    EXPECT_EQ(images->checkState(0), Qt::Checked);
    images->child(0)->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(images->checkState(0), Qt::PartiallyChecked);
    images->setCheckState(0, Qt::Unchecked);
    for (int i = 0; i < images->childCount(); ++i) EXPECT_EQ(images->child(i)->checkState(0), Qt::Unchecked);
    images->child(1)->setCheckState(0, Qt::Checked);
    EXPECT_NE(images->checkState(0), Qt::Unchecked);  // checked while any type is
    const int32_t offId = CSearchFileTypeTreeView::TypeOf(images->child(0))->Id();
    const int32_t onId = CSearchFileTypeTreeView::TypeOf(images->child(1))->Id();
    QTreeWidgetItem* email = tree->GroupItem(group_id::Email);
    ASSERT_TRUE(email);
    EXPECT_EQ(email->childCount(), 0);
    sheet.accept();
    // A fresh load reads the flags back from the registry.
    FileTypes().LoadDatabase();
    EXPECT_FALSE(FileTypes().FindTypeById(offId)->SearchFlag());
    EXPECT_TRUE(FileTypes().FindTypeById(onId)->SearchFlag());
    EXPECT_TRUE(FileTypes().FindTypeById(offId) != FileTypes().FindTypeById(onId));
}

TEST_F(SettingsSheetTest, FileFormatPropertiesReachTheRegistryWhenTheDatabaseIsSaved) {
    FileType* pdf = FileTypes().FindTypeById(47);
    ASSERT_TRUE(pdf);
    const size_t signatures = pdf->signatures.size();
    {
        CObjectInformationView sheet(*pdf);
        sheet.show();
        EXPECT_TRUE(sheet.formatId->isReadOnly());  // a built-in id
        sheet.title->setText("Portable documents");
        sheet.coincidence->setValue(70);
        sheet.Tabs()->setCurrentIndex(CObjectInformationView::SignaturePage);
        sheet.AddSignature();
        CSignatureDataViewCtrl* view = sheet.signatureView;
        ASSERT_TRUE(view->Editable());
        view->dataView->Select(0, 0);
        QTest::keyClicks(view->dataView, "4D5A");
        view->maskView->Select(0, 0);
        QTest::keyClicks(view->maskView, "FFFF");
        view->count->setValue(2);
        sheet.AddSignature();  // left empty: compares nothing, so it is not kept
        sheet.accept();
    }
    EXPECT_EQ(pdf->Title(), "Portable documents");
    ASSERT_EQ(pdf->signatures.size(), signatures + 1);
    const std::vector<uint8_t> mz = {'M', 'Z', 0, 0};
    EXPECT_TRUE(pdf->signatures.back().Matches(ByteSpan(mz.data(), mz.size()), 0));
    FileTypes().SaveDatabase();
    FileTypes().Clear();
    FileTypes().LoadDatabase();
    FileType* loaded = FileTypes().FindTypeById(47);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->Title(), "Portable documents");
    EXPECT_EQ(loaded->Coincidence(), 70u);
}

TEST(SignatureImage, FixedConditionsBecomePatternAndMask) {
    FileTypeSignature signature;
    signature.conditions.push_back(SignatureCondition::Make(CondDword, {0x25, 0x50, 0x44, 0x46}, 0));
    signature.conditions.push_back(SignatureCondition::Make(CondByte, {0x2D}, 4));
    SignatureImage image = ImageOfSignature(signature);
    EXPECT_TRUE(image.editable);
    EXPECT_EQ(image.count, 5);
    EXPECT_EQ(image.pattern[4], 0x2D);
    EXPECT_EQ(image.mask[3], 0xFF);
    EXPECT_EQ(image.mask[5], 0x00);
    const std::vector<uint8_t> pdf = {'%', 'P', 'D', 'F', '-', '1'};
    EXPECT_TRUE(SignatureOfImage(image).Matches(ByteSpan(pdf.data(), pdf.size()), 0));
    FileTypeSignature find;
    find.conditions.push_back(SignatureCondition::Make(CondFind, {'<', 'h'}, 0, 2));
    EXPECT_FALSE(ImageOfSignature(find).editable);
}

}  // namespace
}  // namespace vx
