// Signature files: writing, adding, refusing damaged ones, and the two
// programs' command lines.
#include <gtest/gtest.h>

#include <cstring>

#include "settings/Registry.h"
#include "signatures/FileTypeDatabase.h"
#include "signatures/SignatureFile.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

class MessageRecorder : public INotifier {
public:
    MessageRecorder() { SetNotifier(this); }
    ~MessageRecorder() override { SetNotifier(nullptr); }
    void ShowMessage(const std::string& caption, const std::string& text) override {
        messages.push_back(caption + "|" + text);
    }
    void ShowError(const std::string& caption, const std::string& text) override {
        messages.push_back(caption + "|" + text);
    }
    std::vector<std::string> messages;
};

// A format as the signature wizard makes it: one masked condition over a
// 1024-byte area (512 pattern bytes, then 512 mask bytes).
std::unique_ptr<FileType> WizardType(int32_t id) {
    auto t = FileType::Create(id, group_id::Images, "Camera maker's raw", "camera", "CMR,CMX");
    t->SetTitle("Camera raw");
    std::vector<uint8_t> area(1024, 0);
    const char magic[] = "CMRAW\x01\x02";
    for (size_t i = 0; i < 7; ++i) {
        area[i] = uint8_t(magic[i]);
        area[512 + i] = 0xFF;
    }
    t->AddSignature(CondMasked, area, 0, 16);
    return t;
}

size_t TypeValues() { return CRegistry::Instance().Values(RegHive::CurrentUser, FileTypesKey()).size(); }

class SignatureFileTest : public ::testing::Test {
protected:
    test::ScopedConfig config;
    test::TempDir dir;
    MessageRecorder recorder;
    FileTypeDatabase db;
};

TEST_F(SignatureFileTest, WizardSignatureRoundTripsThroughAFile) {
    auto t = WizardType(1700);
    const std::string path = dir / "camera.filesig";
    ASSERT_EQ(WriteSignatureFile(*t, path), 1);
    EXPECT_EQ(test::ReadFile(path).size(), 3032u);

    FileType* added = AddSignatureFile(path, db);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->Serialize(), t->Serialize());
    EXPECT_EQ(db.TypeCount(), 121u);
    EXPECT_EQ(db.Types().back(), added);
    std::vector<uint8_t> sector(512, 0);
    std::memcpy(sector.data(), "CMRAW\x01\x02", 7);
    EXPECT_TRUE(added->Matches(sector, 0));
    EXPECT_EQ(recorder.messages, (std::vector<std::string>{"ok|Signature file '" + path + "' added!"}));
}

TEST_F(SignatureFileTest, AddingTwiceUpdatesTheFormatAndKeepsItsSignatures) {
    auto t = WizardType(1700);
    const std::string path = dir / "camera.filesig";
    ASSERT_EQ(WriteSignatureFile(*t, path), 1);
    ASSERT_NE(AddSignatureFile(path, db), nullptr);

    t->SetTitle("Camera raw, second edition");
    t->signatures.clear();
    ASSERT_EQ(WriteSignatureFile(*t, path), 1);
    // Quoted as the desktop association passes it.
    FileType* updated = AddSignatureFile("\"" + path + "\"", db);
    ASSERT_NE(updated, nullptr);
    EXPECT_EQ(recorder.messages.back(), "ok|Signature file '" + path + "' updated!");
    EXPECT_EQ(db.TypeCount(), 121u);
    EXPECT_EQ(updated->Title(), "Camera raw, second edition");
    EXPECT_EQ(updated->signatures.size(), 1u);

    FileTypeDatabase again;
    again.LoadDatabase();
    ASSERT_EQ(again.TypeCount(), 121u);
    EXPECT_EQ(again.FindTypeById(1700)->Title(), "Camera raw, second edition");
    EXPECT_EQ(again.FindTypeById(1700)->signatures.size(), 1u);
}

TEST_F(SignatureFileTest, FormatWithoutSignaturesIsFoundByExtensionOnly) {
    auto t = FileType::Create(1701, group_id::Documents, "Notes", "notes", "NTZ");
    const std::string path = dir / "notes.filesig";
    ASSERT_EQ(WriteSignatureFile(*t, path), 1);
    EXPECT_EQ(test::ReadFile(path).size(), kFileTypeStoredSize);
    ASSERT_NE(AddSignatureFile(path, db), nullptr);
    FileTypeDatabase again;
    again.LoadDatabase();
    EXPECT_EQ(again.FindByExtension("ntz"), again.FindTypeById(1701));
    EXPECT_TRUE(again.FindTypeById(1701)->signatures.empty());
}

TEST_F(SignatureFileTest, MissingFileCannotOpen) {
    const std::string path = dir / "missing.filesig";
    EXPECT_EQ(AddSignatureFile(path, db), nullptr);
    EXPECT_EQ(AddSignatureFile("", db), nullptr);
    EXPECT_EQ(AddSignatureFile(dir.path(), db), nullptr);
    EXPECT_EQ(recorder.messages,
              (std::vector<std::string>{"Error!|Signature file '" + path + "' can't open!",
                                        "Error!|Signature file '' can't open!",
                                        "Error!|Signature file '" + dir.path() + "' can't open!"}));
    EXPECT_FALSE(db.IsLoaded());
    EXPECT_FALSE(CRegistry::Instance().KeyExists(RegHive::CurrentUser, FileTypesKey()));
}

TEST_F(SignatureFileTest, DamagedFilesAreRefusedAndChangeNothing) {
    const std::vector<uint8_t> good = WizardType(1702)->Serialize();  // one signature, one condition
    constexpr size_t kSig = kFileTypeStoredSize, kCond = kFileTypeStoredSize + kSignatureHeaderSize;
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    auto with = [&](auto&& change) {
        std::vector<uint8_t> b = good;
        change(b);
        return b;
    };
    std::vector<Case> cases = {
        {"longer than a signature file", with([](auto& b) { b.resize(kSignatureFileMaxSize + 1); })},
        {"shorter than the record", std::vector<uint8_t>(good.begin(), good.begin() + 1000)},
        {"cut inside its signature", std::vector<uint8_t>(good.begin(), good.end() - 1)},
        {"more signatures than it holds", with([](auto& b) { put32(&b[file_type_offset::SignatureCount], 2); })},
        {"absurd signature count", with([](auto& b) { put32(&b[file_type_offset::SignatureCount], 0xFFFFFFFF); })},
        {"signature smaller than its header", with([&](auto& b) { put32(&b[kSig + 4], 12); })},
        {"signature larger than the file", with([&](auto& b) { put32(&b[kSig + 4], 5000); })},
        {"absurd condition count", with([&](auto& b) { put32(&b[kSig + 16], 0x7FFFFFFF); })},
        {"condition overrunning its signature", with([&](auto& b) { put32(&b[kCond + 4], 2000); })},
        {"condition smaller than its header", with([&](auto& b) { put32(&b[kCond + 4], 8); })},
        {"masked length beyond half its area", with([&](auto& b) { put16(&b[kCond + 14], 513); })},
        {"bytes condition longer than its data", with([&](auto& b) {
             put32(&b[kCond], CondBytes);
             put16(&b[kCond + 14], 1025);
         })},
    };
    FileTypeDatabase loaded;
    loaded.LoadDatabase();
    const size_t values = TypeValues();
    for (const Case& c : cases) {
        const std::string path = dir / "damaged.filesig";
        test::WriteFile(path, std::string(c.bytes.begin(), c.bytes.end()));
        recorder.messages.clear();
        EXPECT_EQ(AddSignatureFile(path, loaded), nullptr) << c.what;
        EXPECT_EQ(recorder.messages, (std::vector<std::string>{"Error!|Signature file '" + path + "' is damaged!"}))
            << c.what;
        EXPECT_EQ(loaded.TypeCount(), 120u) << c.what;
        EXPECT_EQ(TypeValues(), values) << c.what;
    }
    // Refused before the database is even loaded: nothing is written.
    EXPECT_EQ(AddSignatureFile(dir / "damaged.filesig", db), nullptr);
    EXPECT_FALSE(db.IsLoaded());
}

TEST_F(SignatureFileTest, WriterRefusesWhatTheReaderCouldNotRead) {
    auto t = WizardType(1703);
    for (int i = 0; i < 14; ++i) t->signatures.push_back(t->signatures[0]);  // 1956 + 15 * 1076 bytes
    ASSERT_GT(t->StoredSize(), kSignatureFileMaxSize);
    EXPECT_EQ(WriteSignatureFile(*t, dir / "big.filesig"), 0);
    EXPECT_EQ(WriteSignatureFile(*WizardType(1703), dir.path() + "/no/such/folder/x.filesig"), 0);
}

// The programs, each in a process of its own over the same config folder.
class SignatureCommandsTest : public ::testing::Test {
protected:
    test::ScopedConfig config;
    test::TempDir dir;
};

TEST_F(SignatureCommandsTest, AddsigSwitchOfTheProgram) {
    const std::string path = dir / "my camera.filesig";
    ASSERT_EQ(WriteSignatureFile(*WizardType(1710), path), 1);
    // As the desktop association passes it: switch and path in one argument.
    test::CommandResult r = test::Run(test::Quote(test::AppPath()) + " " + test::Quote("/addsig " + path));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Signature file '" + path + "' added!\n");
    // As typed in a terminal, with the blank in the path unquoted.
    r = test::Run(test::Quote(test::AppPath()) + " /cs /addsig " + path);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Signature file '" + path + "' updated!\n");
    r = test::Run(test::Quote(test::AppPath()) + " /addsig");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("Signature file '' can't open!"), std::string::npos) << r.err;

    FileTypeDatabase db;
    db.LoadDatabase();
    EXPECT_EQ(db.TypeCount(), 121u);
    EXPECT_EQ(db.FindTypeById(1710)->Title(), "Camera raw");
}

TEST_F(SignatureCommandsTest, CliAddsigAndTypes) {
    const std::string path = dir / "camera.filesig";
    ASSERT_EQ(WriteSignatureFile(*WizardType(1711), path), 1);
    test::CommandResult r = test::Run(test::Quote(test::CliPath()) + " addsig " + test::Quote(path));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Signature file '" + path + "' added!\n");
    r = test::Run(test::Quote(test::CliPath()) + " addsig " + test::Quote(dir / "none.filesig"));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("can't open!"), std::string::npos);

    // The registry survives the process: a cleared search flag stays cleared.
    {
        FileTypeDatabase db;
        db.LoadDatabase();
        db.FindTypeById(47)->SetSearchFlag(false);
        db.SaveDatabase();
    }
    r = test::Run(test::Quote(test::CliPath()) + " types --json");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines;
    for (size_t at = 0, nl; (nl = r.out.find('\n', at)) != std::string::npos; at = nl + 1)
        lines.push_back(r.out.substr(at, nl - at));
    ASSERT_EQ(lines.size(), 121u);
    EXPECT_EQ(lines[0],
              "{\"id\": 47, \"group\": -144, \"description\": \"Portable Document Format (Adobe Acrobat)\", "
              "\"prefix\": \"adobe\", \"extensions\": \"PDF\", \"signatures\": 2, \"search\": 0}");
    EXPECT_NE(lines[120].find("\"id\": 1711"), std::string::npos);
    EXPECT_NE(lines[120].find("\"description\": \"Camera maker's raw\""), std::string::npos);

    r = test::Run(test::Quote(test::CliPath()) + " types");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("HTML;HTM"), std::string::npos);
}

}  // namespace
}  // namespace vx
