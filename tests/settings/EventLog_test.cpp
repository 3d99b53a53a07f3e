// The event log: line forms, receivers, threads, the text dump and the file sink.
#include <thread>

#include "common/Text.h"
#include "platform/Shell.h"
#include "settings/EventLog.h"
#include "settings/ProgramSettings.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::LogMark;

class EventLogTest : public ::testing::Test {
protected:
    void TearDown() override { log_.SetTimeStamp(true); }
    CEventLog log_;
};

TEST_F(EventLogTest, LineFormsWithoutTimeStamps) {
    log_.SetTimeStamp(false);
    struct Case { int level; const char* line; } cases[] = {
        {kLogDebug, "DBG: text"}, {kLogError, "ERR: text"}, {kLogPlain, "text"},
        {kLogCritical, "CRITICALERR: text"}, {3, "text"}, {16, "text"},
    };
    for (const Case& c : cases) log_.Log("text", c.level);
    std::vector<std::string> lines = log_.Lines();
    ASSERT_EQ(lines.size(), std::size(cases));
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], cases[i].line) << "level " << cases[i].level;
}

TEST_F(EventLogTest, ClearLinesForgetsWhatWasKept) {
    log_.SetTimeStamp(false);
    log_.LogText("before");
    log_.ClearLines();
    EXPECT_EQ(log_.LineCount(), 0u);
    log_.LogText("after");
    EXPECT_EQ(log_.Lines(), std::vector<std::string>{"after"});
}

TEST_F(EventLogTest, StampedLinesStartWithLocalDateAndTime) {
    log_.LogError("Volume %s seek error on position %lld", "sdb1", 1234LL);
    log_.LogText("Program running.");
    std::vector<std::string> lines = log_.Lines();
    ASSERT_EQ(lines.size(), 2u);
    std::string stamp = lines[0].substr(0, lines[0].find(" - "));
    EXPECT_FALSE(stamp.empty());
    EXPECT_EQ(lines[0], stamp + " - ERR: Volume sdb1 seek error on position 1234");
    EXPECT_EQ(lines[1].substr(lines[1].find(" - ")), " - Program running.");
}

TEST_F(EventLogTest, ResourceLinesAndDebugLines) {
    log_.SetTimeStamp(false);
    log_.LogResource(135, 2, 5);
    log_.LogDebug("ReadSectors: Drive not opened, try open");
    EXPECT_EQ(log_.Lines(), std::vector<std::string>{"Analyze time: 2 minute(s), 5 second(s)."});
}

TEST_F(EventLogTest, ReceiverGetsEveryLineAndNullKeepsThePrevious) {
    log_.SetTimeStamp(false);
    test::RecordingNotifier receiver;
    log_.LogText("before");
    log_.SetReceiver(&receiver);
    log_.SetReceiver(nullptr);
    log_.LogText("after");
    EXPECT_EQ(receiver.logLines(), std::vector<std::string>{"after"});
    EXPECT_EQ(log_.LineCount(), 2u);
    log_.ClearReceiver();
}

TEST_F(EventLogTest, ConcurrentLinesAreEachKeptOnce) {
    log_.SetTimeStamp(false);
    constexpr int kThreads = 8, kLines = 2000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kLines; ++i) log_.LogText(std::to_string(t) + ":" + std::to_string(i));
        });
    for (auto& th : threads) th.join();
    std::vector<std::string> lines = log_.Lines();
    ASSERT_EQ(lines.size(), size_t(kThreads * kLines));
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(std::adjacent_find(lines.begin(), lines.end()), lines.end());
}

TEST_F(EventLogTest, OpenAsTextWritesUtf16AndAsksTheDesktopToOpenIt) {
    test::TempDir tmp;
    setenv("TMPDIR", tmp.path().c_str(), 1);
    std::vector<std::string> opened;
    SetOpenHandler([&](const std::string& path) {
        opened.push_back(path);
        return OpenResult::NoApplication;
    });
    log_.SetTimeStamp(false);
    EXPECT_EQ(log_.OpenAsText(), 1);  // no lines: an empty file, still opened
    std::string path = tmp / "Recovery log file.txt";
    EXPECT_EQ(test::ReadFile(path), "");
    log_.LogText("Überblick");
    log_.LogError("x");
    EXPECT_EQ(log_.OpenAsText(), 1);  // the second dump overwrites the first
    std::string bytes = test::ReadFile(path);
    EXPECT_EQ(Utf16LeToUtf8(AsBytes(bytes.data(), bytes.size())), "Überblick\r\nERR: x\r\n");
    EXPECT_EQ(opened, (std::vector<std::string>{path, path}));
    SetOpenHandler(nullptr);
    unsetenv("TMPDIR");
}

TEST_F(EventLogTest, FileSinkAppendsAndStartsAgainPastTheLimit) {
    test::TempDir tmp;
    std::string path = tmp / "Vornex.log";
    log_.SetTimeStamp(false);
    log_.EnableFile(path, true, 64);
    log_.LogText("0123456789");  // 12 characters with CR LF: 24 bytes
    log_.LogText("0123456789");
    EXPECT_EQ(test::ReadFile(path).size(), 48u);
    log_.LogText("abcdefghij");  // would pass 64 bytes: the file starts again
    std::string bytes = test::ReadFile(path);
    EXPECT_EQ(Utf16LeToUtf8(AsBytes(bytes.data(), bytes.size())), "abcdefghij\r\n");
    log_.DisableFile();
}

TEST_F(EventLogTest, FileSinkThatCannotOpenSwitchesItselfOff) {
    log_.EnableFile("/nonexistent-folder/x.log", false, 0);
    EXPECT_FALSE(log_.FileEnabled());
    log_.LogText("still kept");
    EXPECT_EQ(log_.LineCount(), 1u);
}

TEST(EventLogSettings, SaveLogInFileBindsTheSink) {
    test::ScopedConfig config;
    ProgramSettings& s = Settings();
    s.SetFlag(settings_offset::SaveLogInFile, true);
    s.ApplyLogging();
    EXPECT_TRUE(EventLog().FileEnabled());
    EventLog().LogText("to the file");
    std::string bytes = test::ReadFile(s.LogFileName());
    EXPECT_NE(Utf16LeToUtf8(AsBytes(bytes.data(), bytes.size())).find("to the file\r\n"), std::string::npos);
    s.SetFlag(settings_offset::SaveLogInFile, false);
    s.ApplyLogging();
    EXPECT_FALSE(EventLog().FileEnabled());
}

}  // namespace
}  // namespace vx
