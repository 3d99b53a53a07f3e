// The settings record, its checksum, and its store in the registry database.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "common/Bytes.h"
#include "platform/Paths.h"
#include "settings/ProgramSettings.h"
#include "settings/Registry.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

namespace so = settings_offset;
using test::ScopedConfig;

RegValue StoredSettings() {
    RegValue v;
    EXPECT_TRUE(CRegistry::Instance().QueryValue(RegHive::CurrentUser, kProgramKey, "Settings", v));
    return v;
}

TEST(ProgramSettings, DefaultsAreWrittenWithAValidChecksum) {
    ScopedConfig config;
    CRegistry::Instance().DeleteKey(RegHive::CurrentUser, kProgramKey);
    ProgramSettings s;
    EXPECT_EQ(s.LoadSettings(), 0);  // nothing stored yet
    EXPECT_EQ(s.RetryAttempts(), 10u);
    EXPECT_EQ(s.Word(so::MaximumLogFileSize), 10240u);
    EXPECT_EQ(s.Word(so::ScanWorkerCount), 1u);
    EXPECT_EQ(s.Word(104), 5400u);
    EXPECT_EQ(s.DestinationFolder(), JoinPath(HomeFolder(), "Recovered Files"));
    EXPECT_EQ(s.LogFileName(), JoinPath(ConfigFolder(), "Vornex.log"));
    EXPECT_EQ(s.Text(so::WildcardText, 260), "*.*");
    RegValue v = StoredSettings();
    EXPECT_EQ(v.type, REG_BINARY);
    ASSERT_EQ(v.data.size(), kSettingsSize);
    ProgramSettings again;
    EXPECT_EQ(again.LoadSettings(), 1);  // the defaults load as stored
    EXPECT_EQ(again.Word(so::StartupPending), 1u);
}

TEST(ProgramSettings, WrongChecksumIsReplacedByDefaultsAndWrittenBack) {
    ScopedConfig config;
    ProgramSettings s;
    s.LoadSettings();
    s.SetWord(so::RetryAttempts, 3);
    ASSERT_EQ(s.SaveSettingsIfChanged(), 1);
    RegValue v = StoredSettings();
    v.data[176] = 99;  // corrupt a field without fixing the checksum
    ASSERT_TRUE(CRegistry::Instance().SetValue(RegHive::CurrentUser, kProgramKey, "Settings", REG_BINARY,
                                               v.data.data(), v.data.size()));
    ProgramSettings loaded;
    EXPECT_EQ(loaded.LoadSettings(), 0);
    EXPECT_EQ(loaded.RetryAttempts(), 10u);
    RegValue rewritten = StoredSettings();
    EXPECT_EQ(le32(rewritten.data, 176), 10u);
    EXPECT_EQ(le32(rewritten.data, 0), loaded.ComputeChecksum());
}

TEST(ProgramSettings, IdleSaveWritesOnlyAfterAChange) {
    ScopedConfig config;
    ProgramSettings s;
    s.LoadSettings();
    EXPECT_EQ(s.SaveSettingsIfChanged(), 0);
    s.SetFlag(so::KeepFolderStructure, true);
    EXPECT_EQ(s.SaveSettingsIfChanged(), 1);
    EXPECT_EQ(s.SaveSettingsIfChanged(), 0);
    ProgramSettings loaded;
    EXPECT_EQ(loaded.LoadSettings(), 1);
    EXPECT_TRUE(loaded.Flag(so::KeepFolderStructure));
}

TEST(ProgramSettings, ShortValueIsCheckedAsIfPadded) {
    ScopedConfig config;
    std::vector<uint8_t> value(200, 0);
    put32(&value[176], 4);
    put32(&value[0], 4);  // checksum of the padded record
    ASSERT_TRUE(CRegistry::Instance().SetValue(RegHive::CurrentUser, kProgramKey, "Settings", REG_BINARY,
                                               value.data(), value.size()));
    ProgramSettings s;
    EXPECT_EQ(s.LoadSettings(), 1);
    EXPECT_EQ(s.RetryAttempts(), 4u);
    EXPECT_EQ(s.Word(so::MaximumLogFileSize), 0u);
}

TEST(ProgramSettings, SignatureFileAssociation) {
    ScopedConfig config;
    RegValue v;
    CRegistry& reg = CRegistry::Instance();
    ASSERT_TRUE(reg.QueryValue(RegHive::ClassesRoot, ".filesig", "", v));
    EXPECT_EQ(RegValueText(v), "Quillon.FileSignature");
    ASSERT_TRUE(reg.QueryValue(RegHive::ClassesRoot, "Quillon.FileSignature\\shell\\open\\command", "", v));
    EXPECT_EQ(RegValueText(v), "\"" + ProgramPath() + "\" \"/addsig %1\"");
    EXPECT_EQ(v.data.size() % 2, 0u);
    EXPECT_EQ(v.data[v.data.size() - 1], 0);  // written with its terminating zero
}

TEST(ProgramSettings, FilterRecordIsStoredOnFirstLoad) {
    ScopedConfig config;
    uint8_t filter[kFilterSize] = {};
    filter[0] = 7;
    EXPECT_EQ(LoadFilter(filter), 1);
    uint8_t loaded[kFilterSize] = {};
    EXPECT_EQ(LoadFilter(loaded), 1);
    EXPECT_EQ(loaded[0], 7);
}

// A child process saves the record in a loop, each time with new contents,
// and is killed in the middle; the store must still hold one whole record.
TEST(Registry, SurvivesAKillDuringSaves) {
    ScopedConfig config;
    std::string path = CRegistry::Instance().Path();
    for (int round = 0; round < 3; ++round) {
        CRegistry::UseDatabase(path);  // no open connection crosses the fork
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            CRegistry::UseDatabase(path);
            ProgramSettings s;
            for (uint32_t i = 1;; ++i) {
                for (size_t off = 17784; off < kSettingsSize; off += 4) s.SetWord(off, i);
                s.SetWord(so::RetryAttempts, i);
                s.SaveSettingsIfChanged();
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(150 + 70 * round));
        kill(child, SIGKILL);
        int status;
        waitpid(child, &status, 0);
        CRegistry::UseDatabase(path);
        ProgramSettings s;
        ASSERT_EQ(s.LoadSettings(), 1) << "round " << round;
        uint32_t n = s.RetryAttempts();
        EXPECT_GT(n, 0u);
        EXPECT_EQ(s.Word(kSettingsSize - 4), n);  // one whole record, not a mix
    }
}

TEST(Registry, KeysValuesAndSubKeys) {
    ScopedConfig config;
    CRegistry& reg = CRegistry::Instance();
    const std::string base = std::string(kProgramKey) + "\\File Types";
    ASSERT_TRUE(reg.SetValue(RegHive::CurrentUser, base + "\\A", "x", REG_BINARY, "\x01\x02", 2));
    ASSERT_TRUE(reg.SetString(RegHive::CurrentUser, base + "\\B", "", "b"));
    EXPECT_TRUE(reg.KeyExists(RegHive::CurrentUser, std::string(kProgramKey) + "\\FILE TYPES\\a"));
    EXPECT_EQ(reg.SubKeys(RegHive::CurrentUser, base), (std::vector<std::string>{"A", "B"}));
    RegValue v;
    ASSERT_TRUE(reg.QueryValue(RegHive::CurrentUser, base + "\\a", "X", v));
    EXPECT_EQ(v.data, (std::vector<uint8_t>{1, 2}));
    EXPECT_FALSE(reg.KeyExists(RegHive::ClassesRoot, base));
    EXPECT_EQ(reg.DeleteKey(RegHive::CurrentUser, base), 1);
    EXPECT_FALSE(reg.KeyExists(RegHive::CurrentUser, base + "\\A"));
    EXPECT_FALSE(reg.QueryValue(RegHive::CurrentUser, base + "\\A", "x", v));
    EXPECT_TRUE(reg.KeyExists(RegHive::CurrentUser, kProgramKey));
}

}  // namespace
}  // namespace vx
