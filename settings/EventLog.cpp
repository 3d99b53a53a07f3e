#include "settings/EventLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include "common/Notifier.h"
#include "common/Strings.h"
#include "common/Text.h"
#include "platform/Paths.h"
#include "platform/Shell.h"

namespace vx {

namespace {

std::string FormLine(const std::string& text, int level, const std::string& stamp) {
    const char* tag = "";
    if (level == kLogDebug) tag = "DBG: ";
    else if (level == kLogError) tag = "ERR: ";
    else if (level == kLogCritical) tag = "CRITICALERR: ";
    if (stamp.empty()) return tag + text;
    return stamp + " - " + tag + text;
}

std::string Utf16LeBytes(const std::string& text) {
    std::u16string w = Utf8ToUtf16(text);
    std::string bytes;
    bytes.reserve(w.size() * 2);
    for (char16_t c : w) {
        bytes += char(c & 0xFF);
        bytes += char(c >> 8);
    }
    return bytes;
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

}  // namespace

CEventLog::CEventLog() = default;

CEventLog::~CEventLog() {
    if (file_ >= 0) ::close(file_);
}

std::string CEventLog::TimeStamp() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[100], time[100];
    std::strftime(date, sizeof date, "%x", &local);
    std::strftime(time, sizeof time, "%X", &local);
    return Format("%s %s", date, time);
}

void CEventLog::Log(const std::string& text, int level) {
    try {
        INotifier* receiver;
        std::string line;
        {
            std::lock_guard lock(mutex_);
            line = FormLine(text, level, timeStamp_ ? TimeStamp() : std::string());
            if (lines_.size() < 0x1FFFFFFF) lines_.push_back(line);
            if (fileEnabled_) WriteToFile(line);
            receiver = receiver_;
        }
        if (receiver) receiver->OnLogLine(line);
    } catch (...) {
        // A log call never fails its caller.
    }
}

void CEventLog::LogError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    Log(text, kLogError);
}

void CEventLog::LogResource(int stringId, ...) {
    va_list args;
    va_start(args, stringId);
    std::string text = FormatV(LoadString(stringId), args);
    va_end(args);
    Log(text, kLogPlain);
}

int CEventLog::ShowStatus(int stringId, intptr_t arg) {
    Notifier().OnStatusText(stringId, arg);
    return 1;
}

std::string CEventLog::TextFilePath() const { return JoinPath(TemporaryFolder(), "Recovery log file.txt"); }

int CEventLog::OpenAsText() {
    std::string path = TextFilePath();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        LogError("Could not create temporary file");
        return 0;
    }
    std::string bytes;
    for (const std::string& line : Lines()) bytes += Utf16LeBytes(line + "\r\n");
    WriteAll(fd, bytes);
    ::close(fd);
    OpenWithAssociatedProgram(path);
    return 1;
}

void CEventLog::SetTimeStamp(bool enabled) {
    std::lock_guard lock(mutex_);
    timeStamp_ = enabled;
}

void CEventLog::SetReceiver(INotifier* receiver) {
    if (!receiver) return;
    std::lock_guard lock(mutex_);
    receiver_ = receiver;
}

void CEventLog::ClearLines() {
    std::lock_guard lock(mutex_);
    lines_.clear();
    lines_.shrink_to_fit();
}

void CEventLog::ClearReceiver() {
    std::lock_guard lock(mutex_);
    receiver_ = nullptr;
}

void CEventLog::EnableFile(const std::string& path, bool truncateOnOpen, uint64_t maxBytes) {
    std::lock_guard lock(mutex_);
    if (file_ >= 0) ::close(file_);
    file_ = -1;
    filePath_ = path;
    truncateOnOpen_ = truncateOnOpen;
    maxFileBytes_ = maxBytes;
    fileEnabled_ = true;
    OpenFile();
}

void CEventLog::DisableFile() {
    std::lock_guard lock(mutex_);
    if (file_ >= 0) ::close(file_);
    file_ = -1;
    fileEnabled_ = false;
}

bool CEventLog::FileEnabled() const {
    std::lock_guard lock(mutex_);
    return fileEnabled_;
}

bool CEventLog::OpenFile() {
    int flags = O_RDWR | O_CREAT | O_CLOEXEC | O_APPEND | (truncateOnOpen_ ? O_TRUNC : 0);
    file_ = ::open(filePath_.c_str(), flags, 0644);
    if (file_ < 0) {
        fileEnabled_ = false;  // the sink switches itself off; no retry
        return false;
    }
    return true;
}

void CEventLog::WriteToFile(const std::string& line) {
    if (file_ < 0 && !OpenFile()) return;
    std::string bytes = Utf16LeBytes(line + "\r\n");
    if (maxFileBytes_ > 0) {
        struct stat st{};
        if (::fstat(file_, &st) == 0 && uint64_t(st.st_size) + bytes.size() > maxFileBytes_)
            (void)::ftruncate(file_, 0);
    }
    WriteAll(file_, bytes);
}

size_t CEventLog::LineCount() const {
    std::lock_guard lock(mutex_);
    return lines_.size();
}

std::vector<std::string> CEventLog::Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

CEventLog& EventLog() {
    static CEventLog log;
    return log;
}

}  // namespace vx
