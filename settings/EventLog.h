#pragma once
// The process-wide event log: every line is kept in memory for the whole run,
// pushed to the current receiver, and optionally appended to a log file.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace vx {

class INotifier;

enum LogLevel : int { kLogDebug = 1, kLogError = 2, kLogPlain = 4, kLogCritical = 8 };

class CEventLog {
public:
    CEventLog();
    ~CEventLog();
    CEventLog(const CEventLog&) = delete;
    CEventLog& operator=(const CEventLog&) = delete;

    void Log(const std::string& text, int level);
    void LogText(const std::string& text) { Log(text, kLogPlain); }
    void LogError(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void LogResource(int stringId, ...);
    void LogDebug(const std::string&) {}
    // Hands a status text to the main window's status pane; never logged.
    int ShowStatus(int stringId, intptr_t arg);
    // Writes every line to "Recovery log file.txt" in the temporary folder as
    // UTF-16LE and asks the desktop to open it. 1 on success, 0 on failure.
    int OpenAsText();
    std::string TextFilePath() const;

    void SetTimeStamp(bool enabled);
    // A null receiver leaves the previous one in place; ClearReceiver forgets it.
    void SetReceiver(INotifier* receiver);
    void ClearReceiver();

    // The file sink. `maxBytes` 0 means no limit; when a line would take the
    // file past the limit the file is started again.
    void EnableFile(const std::string& path, bool truncateOnOpen, uint64_t maxBytes);
    void DisableFile();
    bool FileEnabled() const;

    size_t LineCount() const;
    // Forgets the lines kept so far (a fuzzing run logs millions of them).
    void ClearLines();
    std::vector<std::string> Lines() const;

    static std::string TimeStamp();

private:
    void WriteToFile(const std::string& line);
    bool OpenFile();

    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    int file_ = -1;
    bool fileEnabled_ = false;
    bool truncateOnOpen_ = false;
    uint64_t maxFileBytes_ = 0;
    std::string filePath_;
    bool timeStamp_ = true;
    INotifier* receiver_ = nullptr;
};

// The one log of the process.
CEventLog& EventLog();

}  // namespace vx
