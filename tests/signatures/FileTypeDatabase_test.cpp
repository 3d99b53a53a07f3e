// The file-type database: the built-in table, lookups, matching, and the
// registry as its store.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>

#include "fs/FoundObject.h"
#include "settings/Registry.h"
#include "signatures/FileTypeDatabase.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using Sector = std::vector<uint8_t>;

Sector SectorWith(std::initializer_list<std::pair<size_t, std::string>> parts, size_t size = 512) {
    Sector s(size, 0);
    for (const auto& [at, bytes] : parts) std::memcpy(s.data() + at, bytes.data(), bytes.size());
    return s;
}

std::string B(std::initializer_list<uint8_t> bytes) { return std::string(bytes.begin(), bytes.end()); }

// Ids of the formats that match at `position`, by asking each format in list order.
std::vector<int32_t> MatchingIds(const FileTypeDatabase& db, ByteSpan buffer, size_t position = 0) {
    std::vector<int32_t> ids;
    for (const FileType* t : db.Types())
        if (t->Matches(buffer, position)) ids.push_back(t->Id());
    return ids;
}

class FileTypeDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override { db.LoadDatabase(); }
    test::ScopedConfig config;
    FileTypeDatabase db;
};

TEST_F(FileTypeDatabaseTest, BuiltinTableHasEveryRowWithIdsOfTheirOwn) {
    std::vector<FileType*> types = db.Types();
    ASSERT_EQ(types.size(), 120u);
    std::set<int32_t> ids;
    for (const FileType* t : types) EXPECT_TRUE(ids.insert(t->Id()).second) << "id used twice: " << t->Id();
    EXPECT_EQ(types[0]->Description(), "Portable Document Format (Adobe Acrobat)");
    EXPECT_EQ(types[92]->Id(), 500);
    EXPECT_EQ(types[94]->Id(), 501);
    EXPECT_EQ(types[97]->Id(), 506);
    // The earlier row of each former pair moved to an id of its own.
    EXPECT_EQ(types[52]->Id(), 267);
    EXPECT_EQ(types[76]->Id(), 253);
    EXPECT_EQ(types[77]->Id(), 801);
    EXPECT_EQ(types[83]->Id(), 802);
    EXPECT_EQ(types[84]->Id(), 612);
    EXPECT_EQ(db.FindTypeById(501)->Description(), "Microsoft Excel Document");
    EXPECT_EQ(db.FindTypeById(500)->Description(), "Microsoft Storage File (DOC,XLS,PPT and etc.)");
    for (size_t row = 93; row < 104; ++row) EXPECT_TRUE(types[row]->signatures.empty()) << row + 1;
    EXPECT_EQ(types[73]->Title(), "EXE-DOS");
    EXPECT_EQ(types[74]->Title(), "EXE-LIBCOFF");
    EXPECT_EQ(types[75]->Title(), "EXE-MSLIB");
    EXPECT_EQ(types[0]->Word(file_type_offset::Reserved44), 50u);
    EXPECT_EQ(types[0]->TypicalSizeKb(), 1024);
    EXPECT_TRUE(types[0]->SearchFlag());
}

TEST_F(FileTypeDatabaseTest, GroupsComeInTheirFixedOrder) {
    std::vector<const FileType*> groups = db.Groups();
    ASSERT_EQ(groups.size(), 11u);
    EXPECT_EQ(groups[0]->Title(), "Documents");
    EXPECT_EQ(groups[0]->GroupId(), -144);
    EXPECT_EQ(groups[10]->Title(), "E-mail");
    EXPECT_TRUE(groups[3]->IsGroup());
    EXPECT_EQ(groups[3]->Id(), 0);
    EXPECT_EQ(db.GroupTitle(group_id::Storages), "Storages and Drive images");
    EXPECT_EQ(db.GroupTitle(group_id::System), "");
}

TEST_F(FileTypeDatabaseTest, ExtensionMapKeepsTheFirstClaim) {
    std::vector<FileType*> types = db.Types();
    EXPECT_EQ(db.FindByExtension("doc"), types[92]);
    EXPECT_EQ(db.FindByExtension("LIB"), types[74]);
    EXPECT_EQ(db.FindByExtension(".tif"), types[44]);
    EXPECT_EQ(db.FindByExtension("JFIF"), types[23]);
    size_t jtd = 0;
    for (const auto& [ext, type] : db.ExtensionMap()) jtd += ext == "JTD";
    EXPECT_EQ(jtd, 1u);
}

TEST(FileTypeFirstExtension, TakesTheFieldUpToTheFirstSeparator) {
    struct Case {
        const char* field;
        const char* first;
    } cases[] = {{"HTML;HTM", "HTML"}, {"MID,MIDI,KAR,RMI", "MID"}, {"PDF", "PDF"}, {";HTM", ";HTM"}, {"", ""}};
    for (const Case& c : cases) {
        auto t = FileType::Create(1000, -144, "x", "x", c.field);
        EXPECT_EQ(FileTypeDatabase::FirstExtension(*t), c.first) << c.field;
    }
}

TEST_F(FileTypeDatabaseTest, FindForObjectUsesIdThenExtension) {
    FoundObject report;
    report.name = "report.Doc";
    EXPECT_EQ(db.FindForObject(static_cast<const FoundObject&>(report)), db.Types()[92]);
    EXPECT_EQ(report.type, 0);
    EXPECT_EQ(db.FindForObject(report), db.Types()[92]);
    EXPECT_EQ(report.type, 500);

    FoundObject byId;
    byId.type = 83;
    byId.name = "picture.png";
    EXPECT_EQ(db.FindForObject(byId)->Description(), "JPEG Image");

    FoundObject unknownId;
    unknownId.type = 4242;
    unknownId.name = "notes.txt";
    EXPECT_EQ(db.FindForObject(unknownId), nullptr);
    FoundObject unnamed;
    EXPECT_EQ(db.FindForObject(unnamed), nullptr);
    EXPECT_EQ(FileTypeDatabase::NameExtension("dir.d/archive.tar.GZ"), "GZ");
    EXPECT_EQ(FileTypeDatabase::NameExtension("dir.d/README"), "");
}

TEST_F(FileTypeDatabaseTest, HtmlIsFoundAtTheFirst507PositionsOfTheSector) {
    for (size_t at : {size_t(0), size_t(1), size_t(300), size_t(506), size_t(507)}) {
        Sector s = SectorWith({{at, "<hTmL"}});
        bool html = db.FindTypeById(52)->Matches(s, 0);
        EXPECT_EQ(html, at <= 506) << at;
    }
    Sector doctype = SectorWith({{40, "<!doctype html>"}});
    EXPECT_TRUE(db.FindTypeById(52)->Matches(doctype, 0));
}

TEST_F(FileTypeDatabaseTest, BuiltinSignaturesRecogniseTheirHeaders) {
    const std::string tiffLe = B({0x49, 0x49, 0x2A, 0x00}), tiffBe = B({0x4D, 0x4D, 0x00, 0x2A});
    const std::string png8 = B({0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A});
    struct Case {
        const char* what;
        Sector sector;
        std::vector<int32_t> ids;
    } cases[] = {
        {"xml lower", SectorWith({{0, "<?xml version"}}), {51}},
        {"xml upper", SectorWith({{0, "<?XML version"}}), {51}},
        {"xml mixed", SectorWith({{0, "<?Xml version"}}), {}},
        {"rar by its first bytes", SectorWith({{0, "Rar!"}}), {310}},
        {"rar by bytes 4 to 6", SectorWith({{4, B({0x1A, 0x07, 0x00})}}), {310}},
        {"7z", SectorWith({{0, "7z" + B({0xBC, 0xAF, 0x27, 0x1C})}}), {345}},
        {"7z without its tail", SectorWith({{0, "7z" + B({0xBC, 0xAF, 0x27, 0x1D})}}), {}},
        {"png", SectorWith({{0, png8}, {8, B({0, 0, 0, 0x0D}) + "IHDR"}}), {88}},
        {"png first eight only", SectorWith({{0, png8}}), {}},
        {"tiff little-endian", SectorWith({{0, tiffLe}}), {114, 116, 118, 87}},
        {"tiff big-endian", SectorWith({{0, tiffBe}}), {114, 116, 118, 87}},
        {"xerox", SectorWith({{0, tiffLe + B({8, 0, 0, 0}) + " eXtended "}}), {95, 114, 116, 118, 87}},
        {"icon", SectorWith({{0, B({0, 0, 1, 0, 2, 0, 16, 16, 0, 0})}}), {90}},
        {"icon without images", SectorWith({{0, B({0, 0, 1, 0, 0, 0, 16, 16, 0, 0})}}), {}},
        {"fat32 boot sector",
         SectorWith({{0, B({0xEB, 0x58, 0x90})}, {82, "FAT32   "}, {510, B({0x55, 0xAA})}}), {11}},
        {"ntfs file record", SectorWith({{0, "FILE0"}}), {24}},
        {"compound document", SectorWith({{0, B({0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1})}}), {500}},
        {"zeros", Sector(512, 0), {}},
    };
    for (const Case& c : cases) EXPECT_EQ(MatchingIds(db, c.sector), c.ids) << c.what;
}

TEST(FileTypeMatching, ConditionsNeverReadOutsideTheBuffer) {
    auto t = FileType::Create(1000, -144, "x", "x", "X");
    t->AddSignature(CondDword, {'R', 'a', 'r', '!'}, 0);
    Sector exact = {'R', 'a', 'r', '!'};
    EXPECT_TRUE(t->Matches(exact, 0));
    EXPECT_FALSE(t->Matches(ByteSpan(exact.data(), 3), 0));
    EXPECT_FALSE(t->Matches(exact, 1));

    auto behind = FileType::Create(1001, -144, "x", "x", "X");
    behind->AddSignature(CondByte, {0x41}, -1);
    Sector ab = {'A', 'B'};
    EXPECT_FALSE(behind->Matches(ab, 0));
    EXPECT_TRUE(behind->Matches(ab, 1));

    auto repeated = FileType::Create(1002, -144, "x", "x", "X");
    repeated->AddSignature(CondByteRange, {'0', '9'}, 0, 0, 3);
    EXPECT_TRUE(repeated->Matches(Sector{'1', '2', '3', '4'}, 0));
    EXPECT_FALSE(repeated->Matches(Sector{'1', '2', '3', 'x'}, 0));
    EXPECT_FALSE(repeated->Matches(Sector{'1', '2', '3'}, 0));

    auto masked = FileType::Create(1003, -144, "x", "x", "X");
    std::vector<uint8_t> area(8, 0);
    area[0] = 'P';
    area[2] = 'K';
    area[4] = 0xFF;
    area[6] = 0xFF;
    masked->AddSignature(CondMasked, area, 0, 3);
    EXPECT_TRUE(masked->Matches(Sector{'P', '?', 'K'}, 0));
    EXPECT_FALSE(masked->Matches(Sector{'P', '?', 'X'}, 0));
    // A length beyond half the data area cannot be tested.
    masked->signatures[0].conditions[0].length = 5;
    EXPECT_FALSE(masked->Matches(Sector(16, 'P'), 0));
    EXPECT_FALSE(FileType::Create(1004, -144, "x", "x", "X")->Matches(Sector(512, 0), 0));
}

TEST(FileTypeStoredForm, RoundTripsEveryBuiltinFormat) {
    for (const auto& t : BuildBuiltinTypes()) {
        std::vector<uint8_t> stored = t->Serialize();
        ASSERT_EQ(stored.size(), t->StoredSize());
        std::unique_ptr<FileType> back = FileType::Deserialize(stored);
        ASSERT_TRUE(back) << t->Description();
        EXPECT_EQ(back->Serialize(), stored);
        EXPECT_EQ(back->signatures, t->signatures);
    }
    auto bare = FileType::Create(1000, -144, "No signatures", "bare", "BAR");
    std::vector<uint8_t> stored = bare->Serialize();
    ASSERT_EQ(stored.size(), kFileTypeStoredSize);
    auto back = FileType::Deserialize(stored);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->signatures.empty());
    EXPECT_EQ(back->Description(), "No signatures");
}

// Stored forms come from files and the registry: any bytes either load into
// a record that writes back the same bytes and matches safely, or are refused.
TEST(FileTypeStoredForm, MangledFormsLoadWholeOrNotAtAll) {
    auto t = FileType::Create(1000, -144, "Mangled", "m", "MNG");
    t->AddSignature(CondBytes, {'a', 'b', 'c'}, -2, 3);
    t->AddCondition(0, CondFindNoCase, {'x', 'y'}, 5, 2);
    std::vector<uint8_t> area(64, 0xFF);
    t->AddSignature(CondMasked, area, 500, 32, 0);
    t->AddCondition(1, CondWordRange, {1, 0, 9, 0}, 510, 0, 7);
    const std::vector<uint8_t> good = t->Serialize();
    std::mt19937 rng(7);
    std::vector<uint8_t> sector(512, 'a');
    size_t loaded = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> bytes = good;
        for (int k = 0, n = 1 + int(rng() % 4); k < n; ++k) {
            size_t at = kFileTypeStoredSize - 4 + rng() % (bytes.size() - kFileTypeStoredSize + 4);
            bytes[at] = uint8_t(rng() % 3 == 0 ? rng() : bytes[at] ^ (1u << (rng() % 8)));
        }
        if (rng() % 4 == 0) bytes.resize(kFileTypeStoredSize + rng() % (bytes.size() - kFileTypeStoredSize));
        std::unique_ptr<FileType> back = FileType::Deserialize(bytes);
        if (!back) continue;
        ++loaded;
        std::vector<uint8_t> again = back->Serialize();
        ASSERT_LE(again.size(), bytes.size());
        EXPECT_TRUE(std::equal(again.begin(), again.end(), bytes.begin()));
        for (size_t p : {size_t(0), size_t(1), size_t(300), size_t(511)}) (void)back->Matches(sector, p);
    }
    EXPECT_GT(loaded, 0u);
}

// Writes a value under "\File Types" as an older save would have.
void PutValue(const std::string& name, const FileType& t) {
    std::vector<uint8_t> stored = t.Serialize();
    ASSERT_EQ(CRegistry::Instance().SetValue(RegHive::CurrentUser, FileTypesKey(), name, REG_BINARY, stored.data(),
                                             stored.size()),
              1);
}

TEST_F(FileTypeDatabaseTest, SavesEveryRecordUnderItsValueName) {
    CRegistry& reg = CRegistry::Instance();
    RegValue v;
    ASSERT_EQ(reg.QueryValue(RegHive::CurrentUser, FileTypesKey(), "-144.47..PDF", v), 1);
    EXPECT_EQ(v.type, uint32_t(REG_BINARY));
    EXPECT_EQ(v.data, db.Types()[0]->Serialize());
    EXPECT_EQ(reg.QueryValue(RegHive::CurrentUser, FileTypesKey(), "-80.400.EXE-DOS.EXE", v), 1);
    EXPECT_EQ(reg.QueryValue(RegHive::CurrentUser, GroupsKey(), "-115.0.Images.", v), 1);
    EXPECT_EQ(reg.Values(RegHive::CurrentUser, FileTypesKey()).size(), 120u);
    EXPECT_EQ(reg.Values(RegHive::CurrentUser, GroupsKey()).size(), 11u);
}

TEST_F(FileTypeDatabaseTest, RegistryIsTheDatabaseOnceSaved) {
    db.FindTypeById(47)->SetSearchFlag(false);
    auto added = FileType::Create(1500, -144, "Added format", "added", "ADD");
    added->AddSignature(CondBytes, {'A', 'D', 'D'}, 0, 3);
    db.AddType(std::move(added));
    db.SaveDatabase();

    FileTypeDatabase again;
    again.LoadDatabase();
    ASSERT_EQ(again.TypeCount(), 121u);
    EXPECT_FALSE(again.FindTypeById(47)->SearchFlag());
    EXPECT_TRUE(again.FindTypeById(42)->SearchFlag());
    EXPECT_EQ(again.Types()[120]->Description(), "Added format");
    EXPECT_EQ(again.FindByExtension("ADD"), again.Types()[120]);

    CRegistry::Instance().DeleteKey(RegHive::CurrentUser, FileTypesKey());
    FileTypeDatabase restored;
    restored.LoadDatabase();
    EXPECT_EQ(restored.TypeCount(), 120u);
    EXPECT_TRUE(restored.FindTypeById(47)->SearchFlag());
}

TEST(FileTypeDatabaseLoad, RepeatedIdTakesLaterFieldsAndEarlierSignatures) {
    test::ScopedConfig config;
    auto first = FileType::Create(1500, -144, "First", "one", "ONE");
    first->AddSignature(CondBytes, {'O', 'N', 'E'}, 0, 3);
    auto second = FileType::Create(1500, -48, "Second", "two", "TWO");
    PutValue("-144.1500..ONE", *first);
    PutValue("-48.1500..TWO", *second);

    FileTypeDatabase db;
    db.LoadDatabase();
    ASSERT_EQ(db.TypeCount(), 1u + BuildTodayTypes().size());
    const FileType* t = db.Types()[0];
    EXPECT_EQ(t->Description(), "Second");
    EXPECT_EQ(t->GroupId(), -48);
    ASSERT_EQ(t->signatures.size(), 1u);
    EXPECT_TRUE(t->Matches(Sector{'O', 'N', 'E'}, 0));
}

TEST_F(FileTypeDatabaseTest, RenamedRecordKeepsItsPlaceAndSignaturesAfterReload) {
    FileType* gif = db.FindTypeById(85);
    gif->SetTitle("Animated pictures");
    gif->signatures[0].conditions[1].data = {'b'};  // an edited signature
    db.SignaturesChanged();
    db.SaveDatabase();

    FileTypeDatabase again;
    again.LoadDatabase();
    ASSERT_EQ(again.TypeCount(), 120u);
    EXPECT_EQ(again.Types()[25]->Id(), 85);
    EXPECT_EQ(again.Types()[25]->Title(), "Animated pictures");
    EXPECT_TRUE(again.Types()[25]->Matches(SectorWith({{0, "GIF8?b"}}), 0));
    RegValue v;
    EXPECT_EQ(CRegistry::Instance().QueryValue(RegHive::CurrentUser, FileTypesKey(), "-115.85..GIF", v), 0);
}

TEST(FileTypeDatabaseLoad, UnreadableValuesAreSkipped) {
    test::ScopedConfig config;
    auto good = FileType::Create(1500, -144, "Good", "good", "GOO");
    PutValue("good", *good);
    std::vector<uint8_t> damaged = good->Serialize();
    put32(&damaged[0], 1501);
    put32(&damaged[file_type_offset::SignatureCount], 3);  // none follow
    ASSERT_EQ(CRegistry::Instance().SetValue(RegHive::CurrentUser, FileTypesKey(), "damaged", REG_BINARY,
                                             damaged.data(), damaged.size()),
              1);
    FileTypeDatabase db;
    db.LoadDatabase();
    ASSERT_EQ(db.TypeCount(), 1u + BuildTodayTypes().size());
    EXPECT_EQ(db.Types()[0]->Description(), "Good");

    // A key left with nothing readable is as good as none: the built-in table.
    for (const RegValue& v : CRegistry::Instance().Values(RegHive::CurrentUser, FileTypesKey()))
        if (v.name != "damaged") CRegistry::Instance().DeleteValue(RegHive::CurrentUser, FileTypesKey(), v.name);
    FileTypeDatabase rebuilt;
    rebuilt.LoadDatabase();
    EXPECT_EQ(rebuilt.TypeCount(), 120u);
}

}  // namespace
}  // namespace vx
