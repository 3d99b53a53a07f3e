#include "settings/ProgramSettings.h"

#include <sys/time.h>

#include <cstring>
#include <vector>

#include "common/Bytes.h"
#include "common/Text.h"
#include "platform/Paths.h"
#include "settings/EventLog.h"
#include "settings/Registry.h"

namespace vx {

namespace so = settings_offset;

namespace {

constexpr const char* kSettingsValue = "Settings";

uint64_t CurrentFileTime() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    constexpr uint64_t kEpochDelta = 11644473600ULL;  // 1601-01-01 to 1970-01-01, seconds
    return (uint64_t(tv.tv_sec) + kEpochDelta) * 10000000ULL + uint64_t(tv.tv_usec) * 10;
}

uint32_t Checksum(const uint8_t* bytes) {
    uint32_t sum = 0;
    for (size_t i = 4; i < kSettingsSize; i += 4) sum += le32(ByteSpan(bytes, kSettingsSize), i);
    return sum;
}

std::string FilterKey() { return std::string(kProgramKey) + "\\Filter"; }

}  // namespace

ProgramSettings::ProgramSettings() { Clear(); }

void ProgramSettings::Clear() {
    for (auto& w : words_) w.store(0, std::memory_order_relaxed);
}

uint32_t ProgramSettings::Word(size_t offset) const {
    return offset + 4 <= kSettingsSize ? words_[offset / 4].load(std::memory_order_relaxed) : 0;
}

void ProgramSettings::SetWord(size_t offset, uint32_t value) {
    if (offset + 4 <= kSettingsSize) words_[offset / 4].store(value, std::memory_order_relaxed);
}

std::string ProgramSettings::Text(size_t offset, size_t chars) const {
    auto bytes = Bytes();
    size_t n = std::min(chars * 2, kSettingsSize - std::min(offset, kSettingsSize));
    return Utf16LeToUtf8(ByteSpan(bytes.data() + offset, n));
}

void ProgramSettings::SetText(size_t offset, size_t chars, const std::string& text) {
    std::vector<uint8_t> field(chars * 2);
    WriteUtf16Field(field.data(), chars, text);
    for (size_t i = 0; i + 4 <= field.size(); i += 4) SetWord(offset + i, le32(field, i));
}

std::array<uint8_t, kSettingsSize> ProgramSettings::Bytes() const {
    std::array<uint8_t, kSettingsSize> out{};
    for (size_t i = 0; i < words_.size(); ++i) put32(&out[i * 4], words_[i].load(std::memory_order_relaxed));
    return out;
}

void ProgramSettings::SetBytes(const uint8_t* data, size_t size) {
    std::array<uint8_t, kSettingsSize> buf{};
    std::memcpy(buf.data(), data, std::min(size, kSettingsSize));
    for (size_t i = 0; i < words_.size(); ++i) words_[i].store(le32(buf, i * 4), std::memory_order_relaxed);
}

uint32_t ProgramSettings::ComputeChecksum() const { return Checksum(Bytes().data()); }

int ProgramSettings::LoadSettings() {
    int loaded = 0;
    RegValue value;
    if (CRegistry::Instance().QueryValue(RegHive::CurrentUser, kProgramKey, kSettingsValue, value) &&
        value.type == REG_BINARY && value.data.size() <= kSettingsSize) {
        // A shorter value is checked as if padded with zeros.
        std::vector<uint8_t> padded(kSettingsSize, 0);
        std::memcpy(padded.data(), value.data.data(), value.data.size());
        if (Checksum(padded.data()) == le32(padded, 0)) {
            Clear();
            SetBytes(value.data.data(), value.data.size());
            loaded = 1;
        }
    }
    if (!loaded) InitialiseSettings();
    SetWord(so::StartupPending, 1);
    return loaded;
}

void ProgramSettings::InitialiseSettings() {
    Clear();
    for (size_t offset : {so::StartupPending, size_t(40), size_t(44), size_t(56), so::ShowLegend, so::ShowLog,
                          so::ShowStatusBar, so::ShowToolbar, so::ShowSplash, size_t(80), so::ConfirmShutdown,
                          so::ConfirmScanAbort, so::ConfirmRecoveryAbort, so::ConfirmFileOverwrite,
                          so::WriteLogInDebugWindow, so::ClearLogFileOnStart, so::AnalyseQueuedDrives,
                          so::ScanFreeSpaceOnly, so::ScanWorkerCount, size_t(188)})
        SetWord(offset, 1);
    SetWord(104, 5400);
    SetWord(so::MaximumLogFileSize, 10240);
    SetWord(so::UpdateCheckPeriod, 30);
    uint64_t next = CurrentFileTime();
    SetWord(so::NextUpdateCheck, uint32_t(next));
    SetWord(so::NextUpdateCheck + 4, uint32_t(next >> 32));
    SetWord(so::RetryAttempts, 10);
    SetText(so::DestinationFolder, 4096, JoinPath(HomeFolder(), "Recovered Files"));
    SetText(so::TemporaryFolder, 4096, vx::TemporaryFolder());
    SetText(so::LogFileName, 1024, JoinPath(ConfigFolder(), "Vornex.log"));
    SetText(so::WildcardText, 260, "*.*");
    RegisterSignatureFileType();
    // The stored record carries its checksum, so the defaults load as they are
    // on the next start instead of being rebuilt every time.
    SetWord(so::Checksum, ComputeChecksum());
    SaveSettings();
}

int ProgramSettings::SaveSettings() {
    auto bytes = Bytes();
    return CRegistry::Instance().SetValue(RegHive::CurrentUser, kProgramKey, kSettingsValue, REG_BINARY,
                                          bytes.data(), bytes.size());
}

int ProgramSettings::SaveSettingsIfChanged() {
    uint32_t sum = ComputeChecksum();
    if (sum == StoredChecksum()) return 0;
    SetWord(so::Checksum, sum);
    SaveSettings();
    return 1;
}

void ProgramSettings::RegisterSignatureFileType() {
    CRegistry& reg = CRegistry::Instance();
    std::string program = ProgramPath();
    if (!reg.SetString(RegHive::ClassesRoot, ".filesig", "", "Quillon.FileSignature")) return;
    if (!reg.SetString(RegHive::ClassesRoot, "Quillon.FileSignature", "", "Quillon File Signature")) return;
    if (!reg.SetString(RegHive::ClassesRoot, "Quillon.FileSignature\\DefaultIcon", "", program + ",0")) return;
    reg.SetString(RegHive::ClassesRoot, "Quillon.FileSignature\\shell\\open\\command", "",
                  "\"" + program + "\" \"/addsig %1\"");
}

void ProgramSettings::ApplyLogging() const {
    if (!Flag(so::SaveLogInFile)) {
        EventLog().DisableFile();
        return;
    }
    EventLog().EnableFile(LogFileName(), Flag(so::ClearLogFileOnStart),
                          uint64_t(Word(so::MaximumLogFileSize)) * 1024);
}

ProgramSettings& Settings() {
    static ProgramSettings settings;
    return settings;
}

int SaveFilter(const uint8_t (&filter)[kFilterSize]) {
    return CRegistry::Instance().SetValue(RegHive::CurrentUser, FilterKey(), "", REG_BINARY, filter, kFilterSize);
}

int LoadFilter(uint8_t (&filter)[kFilterSize]) {
    CRegistry& reg = CRegistry::Instance();
    if (!reg.KeyExists(RegHive::CurrentUser, FilterKey())) return SaveFilter(filter);
    for (const RegValue& v : reg.Values(RegHive::CurrentUser, FilterKey()))
        std::memcpy(filter, v.data.data(), std::min(v.data.size(), kFilterSize));
    return 1;
}

}  // namespace vx
