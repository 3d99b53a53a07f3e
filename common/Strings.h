#pragma once
// The string table: user-visible texts and log formats looked up by their
// stable numeric identifiers, and printf-style formatting of them.
#include <cstdarg>
#include <cstdint>
#include <string>

namespace vx {

namespace str {
// Identifiers used across the core. The texts live in Strings.cpp.
inline constexpr int FoundFile = 134;              // "Found file: %s"
inline constexpr int AnalyzeTime = 135;            // "Analyze time: %d minute(s), %d second(s)."
inline constexpr int AnalyzeFinished = 136;        // "Analyze Finished. Found %d folder(s) and %d file(s)."
inline constexpr int FreeClustersStart = 137;
inline constexpr int FreeClustersEnd = 138;
inline constexpr int SectorsStarted = 139;
inline constexpr int LostFolders = 4352;
inline constexpr int LostFileName = 4865;          // "lost_file_%I64d"
inline constexpr int LostFiles = 5120;
inline constexpr int LostFolderName = 5376;        // "lost_folder_%d"
inline constexpr int InitializingDrive = 57111;
inline constexpr int Aborting = 57112;
inline constexpr int OperationAborted = 57113;
inline constexpr int Unknown = 57116;
inline constexpr int Folder = 57118;
inline constexpr int AnalyseComplete = 57123;
inline constexpr int AnalyzingFileSystem = 57211;
inline constexpr int BeginningFsAnalysis = 57212;
inline constexpr int NoFileSystem = 57214;
inline constexpr int AnalyzingSectors = 57311;
inline constexpr int BeginningSectorAnalysis = 57313;
// Data viewer and hex view.
inline constexpr int LargeCopyQuestion = 132;
inline constexpr int LargeCopyCaption = 133;
inline constexpr int MemoryCaption = 61201;        // "Memory"
inline constexpr int HexOffsetHeader = 61202;      // "Offset"
}  // namespace str

// The text of a string-table entry, or an empty string for an unknown id.
const char* LoadString(int id);

// printf-style formatting into a std::string. Texts use the C forms of the
// size arguments (%lld, %llu) where the table documents 64-bit values.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* format, va_list args);
// Formats a string-table entry; the caller passes arguments matching its text.
std::string FormatResource(int id, ...);

}  // namespace vx
