// The recovery engine over an image file, with hand-made found objects read
// raw from the image: chunking and progress, unreadable sectors, sizes of
// files found by content, folders, names, overwriting and stopping.
#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <functional>
#include <map>

#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "fs/FoundObjectList.h"
#include "platform/Shell.h"
#include "recovery/RecoveryJob.h"
#include "settings/EventLog.h"
#include "settings/ProgramSettings.h"
#include "signatures/FileTypeDatabase.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::LogMark;
using test::ScopedConfig;
using test::ScopedFaultySectors;
using test::TempDir;

constexpr uint64_t kMiB = 1024 * 1024;

// Compares file bytes without printing them.
testing::AssertionResult Same(const std::string& got, const std::string& expected) {
    if (got == expected) return testing::AssertionSuccess();
    size_t at = 0;
    while (at < got.size() && at < expected.size() && got[at] == expected[at]) ++at;
    return testing::AssertionFailure() << "sizes " << got.size() << " and " << expected.size()
                                       << ", first difference at " << at;
}

// Answers every question the engine asks and counts them.
class Answers : public test::RecordingNotifier {
public:
    ProbableSizeAnswer AskProbableSize(CVolume*, const FoundObject& object,
                                       const ProbableSizeQuestion& question) override {
        questions.push_back(question);
        asked.push_back(object.name);
        if (duringQuestion) duringQuestion();
        return size;
    }
    bool ConfirmOverwrite(const std::string&) override {
        ++overwriteQuestions;
        return overwrite;
    }
    bool AskOtherDestination(const std::string& text, std::string& folder) override {
        destinationTexts.push_back(text);
        if (otherFolder.empty()) return false;
        folder = otherFolder;
        return true;
    }
    void ShowError(const std::string& caption, const std::string& text) override { errors.push_back(caption + ": " + text); }

    ProbableSizeAnswer size;
    std::function<void()> duringQuestion;
    std::vector<ProbableSizeQuestion> questions;
    std::vector<std::string> asked;
    bool overwrite = false;
    int overwriteQuestions = 0;
    std::string otherFolder;
    std::vector<std::string> destinationTexts;
    std::vector<std::string> errors;
};

// Two built-in formats of the file-type database.
constexpr int16_t kJpeg = 83;
constexpr int16_t kZip = 300;

class RecoveryJobTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        image_ = *dir_ / "source.img";
        content_ = test::RandomBytes(12 * kMiB, 7);
        test::WriteFile(image_, content_);
        imageSha_ = test::Sha256File(image_);
    }
    static void TearDownTestSuite() {
        EXPECT_EQ(test::Sha256File(image_), imageSha_) << "the source image changed";
        delete dir_;
    }

    void SetUp() override {
        volume_ = Computer().OpenSource(image_);
        ASSERT_TRUE(volume_);
        out_ = work_ / "out";
        Settings().SetText(settings_offset::DestinationFolder, 4096, out_);
        Settings().SetWord(settings_offset::RetryAttempts, 0);
        FileTypes().EnsureLoaded();
        jpeg_ = FileTypes().FindTypeById(kJpeg);
        zip_ = FileTypes().FindTypeById(kZip);
        ASSERT_TRUE(jpeg_ && zip_);
        jpegKb_ = jpeg_->TypicalSizeKb();
        zipKb_ = zip_->TypicalSizeKb();
        // Small typical sizes keep the files small.
        SetTypical(jpeg_, 64);
        SetTypical(zip_, 1);
    }
    void TearDown() override {
        // The database lives for the process: leave it as found.
        for (auto [type, kb] : {std::pair{jpeg_, jpegKb_}, std::pair{zip_, zipKb_}}) {
            if (!type) continue;
            SetTypical(type, kb);
            type->SetSizeRule(0);
        }
    }
    static void SetTypical(FileType* type, int32_t kb) { type->SetWord(file_type_offset::TypicalSize, uint32_t(kb)); }

    // A record of the volume's collection (so that parents resolve).
    FoundObject* Add(uint64_t start, uint64_t size, const std::string& name, uint16_t flags = 0, int32_t id = 0,
                     int32_t parent = 0, int16_t type = 0) {
        auto* record = new FoundObject;
        record->start = start;
        record->size = size;
        record->name = volume_->collection.OwnName(name);
        record->flags = flags;
        record->id = id ? id : nextId_++;
        record->parent = parent;
        record->type = type;
        volume_->collection.Add(record, true);
        return record;
    }
    FoundObject* Lost(uint64_t start, const std::string& name, int16_t type, uint64_t size = kSizeUnknown) {
        return Add(start, size, name, object_flag::FoundByContent | object_flag::Deleted, 0, object_id::LostFiles, type);
    }
    void Run(CRecoveryJob& job, std::vector<FoundObject*> list) {
        job.objects = std::move(list);
        ASSERT_EQ(job.StartRecovery(volume_.get()), 1);
        job.Wait();
        ASSERT_TRUE(job.Finished());
    }
    static std::string Slice(uint64_t start, uint64_t size) { return content_.substr(start, size); }
    bool Exists(const std::string& path) const {
        struct stat st{};
        return ::lstat(path.c_str(), &st) == 0;
    }

    static TempDir* dir_;
    static std::string image_, content_, imageSha_;
    TempDir work_;
    ScopedConfig config_;
    Answers answers_;
    FileType* jpeg_ = nullptr;
    FileType* zip_ = nullptr;
    int32_t jpegKb_ = 0, zipKb_ = 0;
    std::unique_ptr<CVolume> volume_;
    std::string out_;
    int32_t nextId_ = 1000;
};

TempDir* RecoveryJobTest::dir_ = nullptr;
std::string RecoveryJobTest::image_, RecoveryJobTest::content_, RecoveryJobTest::imageSha_;

TEST_F(RecoveryJobTest, FiveMiBAreThreeChunksWithTheirPercentages) {
    FoundObject* file = Add(3 * kMiB, 5 * kMiB, "big.bin");
    CRecoveryJob job(CRecoveryJob::Kind::Recovery);
    std::vector<int> progress;
    job.onChunk = [&](const CRecoveryJob& j) { progress.push_back(j.CurrentProgress()); };
    LogMark mark;
    Run(job, {file});
    EXPECT_EQ(progress, (std::vector<int>{0, 40, 80}));
    EXPECT_EQ(job.CurrentProgress(), 100);
    EXPECT_TRUE(Same(test::ReadFile(out_ + "/big.bin"), Slice(3 * kMiB, 5 * kMiB)));
    EXPECT_TRUE(mark.Contains("Recovering file: big.bin [from \"source.img:/\" to \"" + out_ + "/\"]"));
    EXPECT_TRUE(mark.Contains("Recovery finished!"));
    EXPECT_EQ(job.Outcomes(), std::vector<RecoveryOutcome>{RecoveryOutcome::Written});
    EXPECT_EQ(job.Totals().bytes, 5 * kMiB);
}

TEST_F(RecoveryJobTest, UnreadableSectorBecomesZerosAndEveryOtherByteKeepsItsOffset) {
    const uint64_t start = 1 * kMiB, size = 5 * kMiB + 1000;
    const uint64_t badSector = (start + 2 * kMiB + 300 * 512) / 512;  // inside the second chunk
    FoundObject* file = Add(start, size, "damaged.bin");
    ScopedFaultySectors faulty(image_, {badSector});
    volume_->Close();
    CRecoveryJob job(CRecoveryJob::Kind::Recovery);
    LogMark mark;
    Run(job, {file});
    std::string expected = Slice(start, size);
    const uint64_t at = badSector * 512 - start;
    expected.replace(at, 512, std::string(512, '\0'));
    const std::string got = test::ReadFile(out_ + "/damaged.bin");
    ASSERT_EQ(got.size(), size);
    EXPECT_TRUE(got == expected) << "the recovered file differs outside the unreadable sector";
    EXPECT_TRUE(mark.Contains("FileRecovery: ReadedSize = 0, ReqSize = 2097152)"));
    EXPECT_EQ(job.Outcomes(), std::vector<RecoveryOutcome>{RecoveryOutcome::Short});
    EXPECT_EQ(job.Totals().unreadableSectors, 1u);
}

TEST_F(RecoveryJobTest, FileWhoseEveryReadFailsIsDeleted) {
    const uint64_t start = 8 * kMiB, size = 3000;
    std::set<uint64_t> bad;
    for (uint64_t s = start / 512; s <= (start + size) / 512; ++s) bad.insert(s);
    FoundObject* dead = Add(start, size, "dead.bin");
    FoundObject* alive = Add(0, 700, "alive.bin");
    ScopedFaultySectors faulty(image_, bad);
    volume_->Close();
    CRecoveryJob job(CRecoveryJob::Kind::Recovery);
    Run(job, {dead, alive});
    EXPECT_FALSE(Exists(out_ + "/dead.bin"));
    EXPECT_TRUE(Same(test::ReadFile(out_ + "/alive.bin"), Slice(0, 700)));
    EXPECT_EQ(job.Outcomes(), (std::vector<RecoveryOutcome>{RecoveryOutcome::Failed, RecoveryOutcome::Written}));
}

TEST_F(RecoveryJobTest, ZeroSizeFileIsKeptEmpty) {
    FoundObject* empty = Add(4096, 0, "empty.txt");
    CRecoveryJob job(CRecoveryJob::Kind::Recovery);
    Run(job, {empty});
    ASSERT_TRUE(Exists(out_ + "/empty.txt"));
    EXPECT_EQ(test::ReadFile(out_ + "/empty.txt"), "");
    EXPECT_EQ(job.Outcomes(), std::vector<RecoveryOutcome>{RecoveryOutcome::Written});
}

TEST_F(RecoveryJobTest, SameObjectTwice) {
    FoundObject* file = Add(512, 2000, "twice.txt");
    const std::string path = out_ + "/twice.txt";
    struct Case {
        bool confirmSetting;
        bool answer;
        bool replaced;
    } cases[] = {{false, false, true}, {true, true, true}, {true, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "confirm " << c.confirmSetting << " answer " << c.answer);
        test::MustRun("rm -rf " + test::Quote(out_));
        Settings().SetFlag(settings_offset::ConfirmFileOverwrite, c.confirmSetting);
        answers_.overwrite = c.answer;
        CRecoveryJob job(CRecoveryJob::Kind::Recovery);
        Run(job, {file});
        test::WriteFile(path, "edited by the user");
        LogMark mark;
        Run(job, {file});
        EXPECT_TRUE(mark.Contains("File: " + path + " exists"));
        if (c.replaced) {
            EXPECT_TRUE(Same(test::ReadFile(path), Slice(512, 2000)));
            EXPECT_FALSE(Exists(out_ + "/twice (1).txt"));
        } else {
            EXPECT_EQ(test::ReadFile(path), "edited by the user");
            EXPECT_TRUE(Same(test::ReadFile(out_ + "/twice (1).txt"), Slice(512, 2000)));
        }
    }
}

TEST_F(RecoveryJobTest, OneRunNeverReplacesAFileItWrote) {
    Settings().SetFlag(settings_offset::ConfirmFileOverwrite, false);
    FoundObject* live = Add(0, 100, "a.txt");
    FoundObject* deleted = Add(1024, 100, "a.txt", object_flag::Deleted);
    CRecoveryJob job(CRecoveryJob::Kind::Recovery);
    Run(job, {live, deleted});
    EXPECT_TRUE(Same(test::ReadFile(out_ + "/a.txt"), Slice(0, 100)));
    EXPECT_TRUE(Same(test::ReadFile(out_ + "/a (1).txt"), Slice(1024, 100)));
}

TEST_F(RecoveryJobTest, CraftedNamesStayInsideTheDestination) {
    Settings().SetFlag(settings_offset::KeepFolderStructure, true);
    const std::string longName = std::string(300, 'n') + ".jpg";
    struct Case {
        std::string folder, name, expected;
    } cases[] = {
        {"", "../../etc/x", ".._.._etc_x"},
        {"", "a/b", "a_b"},
        {"f", "..", "f/_.."},
        {"", ".", "_."},
        {"", "", "_"},
        {"", "bell\a\x1b[2Jtab\tnl\n", "bell__[2Jtab_nl_"},
        {"", longName, std::string(251, 'n') + ".jpg"},
        {"..", "up.txt", "_../up.txt"},
        {"../..", "up2.txt", ".._../up2.txt"},
        {"/etc", "abs.txt", "_etc/abs.txt"},
    };
    std::vector<FoundObject*> list;
    uint64_t start = 0;
    for (const Case& c : cases) {
        int32_t parent = 0;
        if (!c.folder.empty()) parent = Add(0, 0, c.folder, object_flag::Folder)->id;
        list.push_back(Add(start, 100, c.name, 0, 0, parent));
        start += 4096;
    }
    CRecoveryJob job(CRecoveryJob::Kind::Recovery);
    Run(job, list);
    start = 0;
    for (const Case& c : cases) {
        EXPECT_TRUE(Same(test::ReadFile(out_ + "/" + c.expected), Slice(start, 100))) << c.expected;
        start += 4096;
    }
    EXPECT_EQ(test::MustRun("find " + test::Quote(work_.path()) + " -mindepth 1 -maxdepth 1"), out_ + "\n");
    EXPECT_EQ(test::MustRun("find " + test::Quote(work_.path()) + " -type f | wc -l"),
              std::to_string(std::size(cases)) + "\n");
}

TEST_F(RecoveryJobTest, NeverFollowsALinkBelowTheDestination) {
    Settings().SetFlag(settings_offset::KeepFolderStructure, true);
    Settings().SetFlag(settings_offset::ConfirmFileOverwrite, false);
    TempDir outside;
    test::MustRun("mkdir -p " + test::Quote(out_) + " && ln -s " + test::Quote(outside.path()) + " " +
                  test::Quote(out_ + "/Docs") + " && ln -s " + test::Quote(outside / "victim") + " " +
                  test::Quote(out_ + "/top.txt"));
    test::WriteFile(outside / "victim", "keep me");
    FoundObject* docs = Add(0, 0, "Docs", object_flag::Folder);
    FoundObject* inDocs = Add(0, 100, "victim", 0, 0, docs->id);
    FoundObject* top = Add(4096, 100, "top.txt");
    CRecoveryJob job(CRecoveryJob::Kind::Recovery);
    Run(job, {inDocs, top});
    EXPECT_EQ(test::ReadFile(outside / "victim"), "keep me");
    EXPECT_EQ(test::MustRun("ls " + test::Quote(outside.path())), "victim\n");
    EXPECT_TRUE(Same(test::ReadFile(out_ + "/Docs (1)/victim"), Slice(0, 100)));
    EXPECT_TRUE(Same(test::ReadFile(out_ + "/top (1).txt"), Slice(4096, 100)));
}

TEST_F(RecoveryJobTest, FolderStructureTimesAndFlatMode) {
    // 2021-03-04 05:06:08 UTC and 2020-01-01 00:00:00 UTC as Windows file times.
    const uint64_t modified = (1614834368ULL + 11644473600ULL) * 10000000ULL;
    const uint64_t folderTime = (1577836800ULL + 11644473600ULL) * 10000000ULL;
    FoundObject* docs = Add(0, 0, "Docs", object_flag::Folder, 200);
    docs->modified = docs->accessed = folderTime;
    FoundObject* old = Add(0, 0, "Old", object_flag::Folder | object_flag::Deleted, 201, 200);
    old->modified = old->accessed = folderTime;
    FoundObject* empty = Add(0, 0, "Empty", object_flag::Folder, 202, 200);
    empty->modified = folderTime;
    FoundObject* notes = Add(8192, 777, "notes.txt", object_flag::Deleted, 300, 201);
    notes->created = notes->modified = notes->accessed = modified;
    FoundObject* top = Add(0, 10, "top.txt", 0, 301, 0);

    Settings().SetFlag(settings_offset::KeepFolderStructure, true);
    CRecoveryJob job(CRecoveryJob::Kind::Recovery);
    Run(job, {notes, top, empty, docs});
    struct stat st{};
    ASSERT_EQ(::stat((out_ + "/Docs/Old/notes.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1614834368);
    EXPECT_EQ(st.st_atime, 1614834368);
    EXPECT_TRUE(Same(test::ReadFile(out_ + "/Docs/Old/notes.txt"), Slice(8192, 777)));
    EXPECT_TRUE(Same(test::ReadFile(out_ + "/top.txt"), Slice(0, 10)));
    for (const char* folder : {"/Docs", "/Docs/Old", "/Docs/Empty"}) {
        ASSERT_EQ(::stat((out_ + folder).c_str(), &st), 0) << folder;
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mtime, 1577836800) << folder;
    }
    EXPECT_EQ(job.Outcomes()[2], RecoveryOutcome::Folder);

    Settings().SetFlag(settings_offset::KeepFolderStructure, false);
    const std::string flat = work_ / "flat";
    Settings().SetText(settings_offset::DestinationFolder, 4096, flat);
    Run(job, {notes, top});
    EXPECT_EQ(test::MustRun("cd " + test::Quote(flat) + " && find . | sort"), ".\n./notes.txt\n./top.txt\n");
}

TEST_F(RecoveryJobTest, SizeRulesOfFilesFoundByContent) {
    // Lost files at 1 MiB (JPEG), 1.5 MiB (ZIP), 3 MiB (JPEG), 3.5 MiB (ZIP).
    FoundObject* a = Lost(1 * kMiB, "a.jpg", kJpeg);
    Lost(kMiB + kMiB / 2, "b.zip", kZip);
    Lost(3 * kMiB, "c.jpg", kJpeg);
    FoundObject* d = Lost(3 * kMiB + kMiB / 2, "d.zip", kZip);
    FoundObject* untyped = Lost(11 * kMiB, "x.unknownext", 0);
    Settings().SetFlag(settings_offset::ConfirmFileOverwrite, false);
    struct Case {
        FoundObject* object;
        uint32_t rule;
        uint64_t custom;
        uint64_t size;
    } cases[] = {
        {a, kSizeRuleTypical, 0, 64 * 1024},
        {a, kSizeRuleNextAny, 0, kMiB / 2},
        {a, kSizeRuleNextSame, 0, 2 * kMiB},
        {a, kSizeRuleCustom, 3072, 3072},
        {d, kSizeRuleNextSame, 0, 1024},        // no next zip: the typical size
        {untyped, kSizeRuleNextAny, 0, 0},      // no next object and no type: nothing to go by
        {untyped, kSizeRuleCustom, 5 * kMiB, kMiB},  // never past the end of the volume
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.object->name << " rule " << c.rule);
        c.object->size = kSizeUnknown;
        answers_.size = {kSizeOk, c.rule, 0, c.custom};
        CRecoveryJob job(CRecoveryJob::Kind::Recovery);
        Run(job, {c.object});
        EXPECT_EQ(c.object->size, c.size);
        EXPECT_TRUE(Same(test::ReadFile(out_ + "/" + c.object->name), Slice(c.object->start, c.size)));
    }
    // The question shows the three candidates.
    ASSERT_FALSE(answers_.questions.empty());
    EXPECT_EQ(answers_.questions[0].typeName, jpeg_->DisplayName());
    EXPECT_EQ(answers_.questions[0].typicalSize, 64u * 1024);
    EXPECT_EQ(answers_.questions[0].nextAnyDistance, kMiB / 2);
    EXPECT_EQ(answers_.questions[0].nextSameDistance, 2 * kMiB);
}

TEST_F(RecoveryJobTest, SizeDeterminedByTheScanStillAsks) {
    FoundObject* bmp = Lost(2 * kMiB, "picture.jpg", kJpeg, 5000);
    CRecoveryJob job(CRecoveryJob::Kind::Recovery);
    Run(job, {bmp});  // the receiver's preset answer: OK, typical size, this file only
    EXPECT_EQ(answers_.questions.size(), 1u);
    EXPECT_EQ(bmp->size, 64u * 1024);
}

TEST_F(RecoveryJobTest, RememberedScopes) {
    FoundObject* j1 = Lost(1 * kMiB, "j1.jpg", kJpeg);
    FoundObject* j2 = Lost(2 * kMiB, "j2.jpg", kJpeg);
    FoundObject* z1 = Lost(3 * kMiB, "z1.zip", kZip);
    FoundObject* j3 = Lost(4 * kMiB, "j3.jpg", kJpeg);

    // "All files of this type" with the custom size: later JPEGs get it without a question.
    answers_.size = {kSizeOk, kSizeRuleCustom, 1, 10240};
    CRecoveryJob job(CRecoveryJob::Kind::Recovery);
    Run(job, {j1, j2, z1});
    EXPECT_EQ(answers_.asked, (std::vector<std::string>{"j1.jpg", "z1.zip"}));
    EXPECT_EQ(jpeg_->SizeRule(), int32_t(kSizeRuleCustom));
    EXPECT_EQ(jpeg_->TypicalSizeKb(), 10);
    EXPECT_EQ(j2->size, 10240u);

    // "All files of any type": every later object of the job, in later runs too.
    answers_.asked.clear();
    jpeg_->SetSizeRule(0);
    for (FoundObject* o : {j1, j2, z1, j3}) o->size = kSizeUnknown;
    answers_.size = {kSizeOk, kSizeRuleCustom, 2, 20480};
    Run(job, {j1});
    Run(job, {j2, z1, j3});
    EXPECT_EQ(answers_.asked, std::vector<std::string>{"j1.jpg"});
    EXPECT_EQ(job.anyTypeRule.load(), kSizeRuleCustom);
    EXPECT_EQ(job.anyTypeCustomKb.load(), 20);
    for (FoundObject* o : {j1, j2, z1, j3}) EXPECT_EQ(o->size, 20480u) << o->name;

    // Another job remembers nothing of it.
    answers_.asked.clear();
    j3->size = kSizeUnknown;
    CRecoveryJob other(CRecoveryJob::Kind::Recovery);
    Run(other, {j3});
    EXPECT_EQ(answers_.asked, std::vector<std::string>{"j3.jpg"});
}

TEST_F(RecoveryJobTest, SkipCancelAndUnknownSize) {
    FoundObject* skip = Lost(1 * kMiB, "skip.jpg", kJpeg);
    FoundObject* unknown = Add(5 * kMiB, kSizeUnknown, "unknown.txt");
    CRecoveryJob job(CRecoveryJob::Kind::Recovery);
    LogMark mark;
    answers_.size.button = kSizeSkip;
    Run(job, {skip, unknown});
    answers_.size.button = kSizeCancel;
    Run(job, {skip});
    EXPECT_EQ(mark.Count("FileRecovery: File 'skip.jpg' skiped"), 1u);
    EXPECT_TRUE(mark.Contains("FileRecovery: File 'skip.jpg' canceled"));
    EXPECT_TRUE(mark.Contains("FileRecovery: File 'unknown.txt' skiped"));
    EXPECT_FALSE(Exists(out_ + "/skip.jpg"));
    EXPECT_FALSE(Exists(out_ + "/unknown.txt"));
    EXPECT_EQ(job.Outcomes(), std::vector<RecoveryOutcome>{RecoveryOutcome::Skipped});
}

TEST_F(RecoveryJobTest, StopJobEndsTheRunAfterTheChunk) {
    FoundObject* big = Add(0, 6 * kMiB, "big.bin");
    FoundObject* next = Add(0, 100, "next.bin");
    CRecoveryJob job(CRecoveryJob::Kind::Recovery);
    int chunks = 0;
    job.onChunk = [&](const CRecoveryJob&) {
        if (++chunks == 1) job.StopJob();
    };
    LogMark mark;
    Run(job, {big, next});
    EXPECT_EQ(chunks, 1);
    EXPECT_TRUE(mark.Contains("FileRecovery: Work stoped by work flag"));
    EXPECT_TRUE(mark.Contains("Recovery aborted!"));
    EXPECT_TRUE(mark.Contains("Recovery finished!"));
    EXPECT_TRUE(Same(test::ReadFile(out_ + "/big.bin"), Slice(0, 2 * kMiB)));
    EXPECT_FALSE(Exists(out_ + "/next.bin"));
    // A second run in the same process runs to its end.
    job.onChunk = nullptr;
    Run(job, {next});
    EXPECT_TRUE(Exists(out_ + "/next.bin"));
}

// A stop asked for while the size question is open is not lost.
TEST_F(RecoveryJobTest, StopDuringTheSizeQuestionHolds) {
    FoundObject* lost = Lost(0, "lost.jpg", kJpeg);
    FoundObject* next = Add(0, 100, "next.bin");
    CRecoveryJob job(CRecoveryJob::Kind::Recovery);
    answers_.size = {kSizeOk, kSizeRuleCustom, 0, 5 * kMiB};
    answers_.duringQuestion = [&] { job.StopJob(); };
    LogMark mark;
    Run(job, {lost, next});
    EXPECT_TRUE(mark.Contains("FileRecovery: Work stoped by work flag"));
    EXPECT_TRUE(mark.Contains("Recovery aborted!"));
    EXPECT_EQ(test::ReadFile(out_ + "/lost.jpg").size(), 2 * kMiB);
    EXPECT_FALSE(Exists(out_ + "/next.bin"));
}

TEST_F(RecoveryJobTest, TryOpenOpensTheLastFileAndOffersToDeleteIt) {
    const std::string temporary = work_ / "tmp";
    Settings().SetText(settings_offset::TemporaryFolder, 4096, temporary);
    std::vector<std::string> opened;
    SetOpenHandler([&](const std::string& path) {
        opened.push_back(path);
        return OpenResult::NoApplication;
    });
    FoundObject* first = Add(0, 100, "first.txt");
    FoundObject* last = Add(512, 100, "last.doc");
    CRecoveryJob job(CRecoveryJob::Kind::TryOpen);
    job.objects = {first, last};
    LogMark mark;
    ASSERT_EQ(job.StartTryOpen(volume_.get()), 1);
    job.Wait();
    SetOpenHandler(nullptr);
    EXPECT_EQ(opened, std::vector<std::string>{temporary + "/last.doc"});
    EXPECT_TRUE(mark.Contains("Opening file: \"" + temporary +
                              "/last.doc\" failed! No application associated with this file"));
    EXPECT_FALSE(mark.Contains("Recovery finished!"));
    EXPECT_EQ(job.TemporaryFiles(), std::vector<std::string>{temporary + "/last.doc"});
    answers_.answer = true;
    EXPECT_EQ(job.DeleteTemporaryFiles(), 1);
    EXPECT_FALSE(Exists(temporary + "/last.doc"));
    EXPECT_TRUE(Exists(temporary + "/first.txt"));
}

}  // namespace
}  // namespace vx
