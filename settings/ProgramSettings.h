#pragma once
// The settings record: one fixed 112000-byte little-endian image, guarded by
// a checksum in its first word and stored whole as the registry value
// "Settings". Fields are read in place wherever they are used.
#include <array>
#include <atomic>
#include <cstdint>
#include <string>

namespace vx {

inline constexpr const char* kProgramKey = "Software\\Quillon\\Vornex for FAT\\2.0";
inline constexpr size_t kSettingsSize = 112000;
inline constexpr size_t kFilterSize = 728;

// Byte offsets of the fields in the record.
namespace settings_offset {
inline constexpr size_t Checksum = 0;
inline constexpr size_t StartupPending = 36;
inline constexpr size_t ShowLegend = 60;
inline constexpr size_t ShowLog = 64;
inline constexpr size_t ShowStatusBar = 68;
inline constexpr size_t ShowToolbar = 72;
inline constexpr size_t ShowSplash = 76;
inline constexpr size_t ConfirmShutdown = 84;
inline constexpr size_t ConfirmScanAbort = 88;
inline constexpr size_t ConfirmRecoveryAbort = 92;
inline constexpr size_t ConfirmFileOverwrite = 96;
inline constexpr size_t SuppressTryOpenWarning = 100;
inline constexpr size_t CustomTemporaryFolder = 108;
inline constexpr size_t SaveLogInFile = 112;
inline constexpr size_t WriteLogInDebugWindow = 116;
inline constexpr size_t ClearLogFileOnStart = 120;
inline constexpr size_t MaximumLogFileSize = 124;  // KB
inline constexpr size_t UpdateCheckPeriod = 128;
inline constexpr size_t NextUpdateCheck = 132;     // 8 bytes, Windows file time
inline constexpr size_t AutoPilot = 140;
inline constexpr size_t KeepFolderStructure = 144;
inline constexpr size_t EndProcessOnExit = 148;
inline constexpr size_t LogFoundFiles = 152;
inline constexpr size_t AnalysisStarted = 156;
inline constexpr size_t AnalyseQueuedDrives = 160;
inline constexpr size_t ScanFreeSpaceOnly = 164;
inline constexpr size_t ScanMode = 168;
inline constexpr size_t ScanWorkerCount = 172;
inline constexpr size_t RetryAttempts = 176;
inline constexpr size_t RetryPause = 180;
inline constexpr size_t ScanBlockSize = 184;
inline constexpr size_t DestinationFolder = 17784;  // 4096 UTF-16 characters
inline constexpr size_t TemporaryFolder = 25976;    // 4096 characters
inline constexpr size_t LogFileName = 34168;        // 1024 characters
inline constexpr size_t WildcardText = 36216;       // 260 characters
}  // namespace settings_offset

class ProgramSettings {
public:
    ProgramSettings();

    // The 32-bit word at a byte offset. Word reads and writes are atomic, so
    // workers may read a flag while the user-interface thread changes it.
    uint32_t Word(size_t offset) const;
    void SetWord(size_t offset, uint32_t value);
    bool Flag(size_t offset) const { return Word(offset) != 0; }
    void SetFlag(size_t offset, bool on) { SetWord(offset, on ? 1 : 0); }
    int32_t Int(size_t offset) const { return int32_t(Word(offset)); }
    std::string Text(size_t offset, size_t chars) const;
    void SetText(size_t offset, size_t chars, const std::string& text);

    // Named accessors for the fields the core reads most.
    uint32_t RetryAttempts() const { return Word(settings_offset::RetryAttempts); }
    uint32_t RetryPause() const { return Word(settings_offset::RetryPause); }
    std::string DestinationFolder() const { return Text(settings_offset::DestinationFolder, 4096); }
    std::string TemporaryFolderPath() const { return Text(settings_offset::TemporaryFolder, 4096); }
    std::string LogFileName() const { return Text(settings_offset::LogFileName, 1024); }

    // Sum (wrapping) of the words at offsets 4 to 111999.
    uint32_t ComputeChecksum() const;
    uint32_t StoredChecksum() const { return Word(settings_offset::Checksum); }

    // Loads from the registry; on any failure initialises the defaults and
    // saves them. Start-up pending is set to 1 in every case. 1 when the
    // stored record was taken.
    int LoadSettings();
    void InitialiseSettings();
    int SaveSettings();
    // Saves when the checksum no longer matches the record. 1 when it wrote.
    int SaveSettingsIfChanged();
    void RegisterSignatureFileType();
    // Binds the Logging fields to the event log's file sink.
    void ApplyLogging() const;

    void Clear();
    std::array<uint8_t, kSettingsSize> Bytes() const;
    void SetBytes(const uint8_t* data, size_t size);

private:
    std::array<std::atomic<uint32_t>, kSettingsSize / 4> words_;
};

// The record of the process (held by the application object in the GUI).
ProgramSettings& Settings();

int LoadFilter(uint8_t (&filter)[kFilterSize]);
int SaveFilter(const uint8_t (&filter)[kFilterSize]);

}  // namespace vx
