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

// The desktop program. A command's prompt ("status tip\ntooltip") is the
// entry of its command id; its menu text and its toolbar text sit at the
// command id plus these bases.
inline constexpr int MenuTextBase = 0x10000;
inline constexpr int ToolbarTextBase = 0x20000;
inline constexpr int AppName = 128;                // "Vornex"
inline constexpr int Ready = 57345;
inline constexpr int AppTitle = 0x30001;           // "Vornex for FAT"
inline constexpr int MenuFile = 0x30002;
inline constexpr int MenuDisk = 0x30003;
inline constexpr int MenuView = 0x30004;
inline constexpr int MenuOptions = 0x30005;
inline constexpr int MenuHelp = 0x30006;
inline constexpr int Confirmation = 0x30007;
inline constexpr int ConfirmExit = 0x30008;
inline constexpr int LegendCaption = 0x30009;
inline constexpr int DataViewerCaption = 0x3000A;
inline constexpr int DataViewerLater = 0x3000B;
inline constexpr int SignatureWizardLater = 0x3000C;
inline constexpr int NoDriveAccess = 0x3000D;
inline constexpr int NoDriveAccessLog = 0x3000E;
inline constexpr int AboutVersion = 0x3000F;       // "Version %s.%s Build %s"
inline constexpr int AboutText = 0x30010;
inline constexpr int HelpTitle = 0x30011;
inline constexpr int HelpContents = 0x30012;
inline constexpr int HelpSearchLabel = 0x30013;
inline constexpr int HelpNoMatch = 0x30014;        // "No page mentions \"%s\"."
inline constexpr int HelpMatches = 0x30015;        // "Pages that mention \"%s\":"
inline constexpr int HelpMissing = 0x30016;
inline constexpr int DeviceArrived = 0x30017;      // "Device arrived: %s"
inline constexpr int DeviceRemoved = 0x30018;      // "Device removed: %s"
inline constexpr int ProgramRunning = 0x30019;     // "Program running."
inline constexpr int ImageNotLoaded = 0x3001A;     // "Could not open the drive image %s"
inline constexpr int Error = 0x3001B;
inline constexpr int Information = 0x3001C;
inline constexpr int Back = 0x3001D;
inline constexpr int Forward = 0x3001E;
inline constexpr int Home = 0x3001F;
inline constexpr int Search = 0x30020;
inline constexpr int OpenLogTooltip = 0x30021;
inline constexpr int AnalyzingPercent = 0x30022;   // "%1%" with the rate after it
// Data viewer and hex view.
inline constexpr int LargeCopyQuestion = 132;
inline constexpr int LargeCopyCaption = 133;
inline constexpr int MemoryCaption = 61201;        // "Memory"
inline constexpr int HexOffsetHeader = 61202;      // "Offset"
inline constexpr int InfoStatus = 61203;
inline constexpr int InfoId = 61204;
inline constexpr int InfoParentId = 61205;
inline constexpr int InfoType = 61206;
inline constexpr int InfoLocation = 61207;
inline constexpr int InfoOffset = 61208;
inline constexpr int InfoSize = 61209;
inline constexpr int InfoSizeOnDisk = 61210;
inline constexpr int InfoCreated = 61211;
inline constexpr int InfoModified = 61212;
inline constexpr int InfoAccessed = 61213;
inline constexpr int StatusDeleted = 61214;
inline constexpr int StatusLive = 61215;
inline constexpr int InformationPanel = 61217;
inline constexpr int DataRunList = 61218;
inline constexpr int PreviewPage = 61219;
inline constexpr int HexPage = 61220;
inline constexpr int NoPreview = 61221;
inline constexpr int RunStartSector = 61222;
inline constexpr int RunSectorCount = 61223;
inline constexpr int InfoName = 61224;
inline constexpr int PreviewTruncated = 61225;
inline constexpr int SettingsCaption = 61240;
inline constexpr int PageCommon = 61241;
inline constexpr int PageConfirms = 61242;
inline constexpr int PageFileTypes = 61243;
inline constexpr int PageTemporary = 61244;
inline constexpr int PageDriveAccess = 61245;
inline constexpr int PageLogging = 61246;
inline constexpr int PageLanguage = 61247;
inline constexpr int ShowSplash = 61248;
inline constexpr int AutoCheckUpdates = 61249;
inline constexpr int Days = 61250;
inline constexpr int ConfirmShutdown = 61251;
inline constexpr int ConfirmScanAbort = 61252;
inline constexpr int ConfirmRecoveryAbort = 61253;
inline constexpr int ConfirmFileOverwrite = 61254;
inline constexpr int SuppressTryOpenWarning = 61255;
inline constexpr int TryOpenHelpLink = 61256;
inline constexpr int FileTypesIntro = 61257;
inline constexpr int FileTypesFilterNote = 61258;
inline constexpr int SystemTemporaryFolder = 61259;
inline constexpr int CustomTemporaryFolder = 61260;
inline constexpr int Browse = 61261;
inline constexpr int SelectTemporaryFolder = 61262;
inline constexpr int RetryAttempts = 61263;
inline constexpr int RetryPause = 61264;
inline constexpr int Milliseconds = 61265;
inline constexpr int RetryAttemptsNote = 61266;
inline constexpr int RetryPauseNote = 61267;
inline constexpr int SaveLogInFile = 61268;
inline constexpr int LogFileName = 61269;
inline constexpr int MaximumLogFileSize = 61270;
inline constexpr int Kilobytes = 61271;
inline constexpr int ClearLogOnStart = 61272;
inline constexpr int WriteLogDebugWindow = 61273;
inline constexpr int Language = 61274;
inline constexpr int English = 61275;
inline constexpr int LanguageRestartNote = 61276;
inline constexpr int LanguageHelpNote = 61277;
inline constexpr int CheckAll = 61278;
inline constexpr int UncheckAll = 61279;
inline constexpr int RestoreDefaults = 61280;
inline constexpr int PropertiesMenu = 61281;
inline constexpr int FormatPropertiesCaption = 61290;
inline constexpr int PageDescription = 61291;
inline constexpr int PageTechnicalInfo = 61292;
inline constexpr int PageSignature = 61293;
inline constexpr int FormatTitle = 61294;
inline constexpr int FormatShortDescription = 61295;
inline constexpr int FormatDescriptionUrl = 61296;
inline constexpr int FormatCategory = 61297;
inline constexpr int FormatTypicalSize = 61298;
inline constexpr int FormatSearchOrder = 61299;
inline constexpr int FormatSearchOrderNote = 61300;
inline constexpr int FormatNamePrefix = 61301;
inline constexpr int FormatExtensions = 61302;
inline constexpr int FormatId = 61303;
inline constexpr int FormatCoincidence = 61304;
inline constexpr int FormatGroup = 61305;
inline constexpr int FormatNewGroup = 61306;
inline constexpr int SignatureData = 61307;
inline constexpr int SignatureMask = 61308;
inline constexpr int CompareByteCount = 61309;
inline constexpr int CheckByBits = 61310;
inline constexpr int SignatureIndex = 61311;
inline constexpr int SignatureNotEditable = 61312;
inline constexpr int CreatingImageCaption = 61320;
inline constexpr int ImageFileName = 61321;
inline constexpr int ImageTime = 61322;
inline constexpr int TransferSpeed = 61323;
inline constexpr int UnreadableSectors = 61324;
inline constexpr int SpeedFormat = 61325;
inline constexpr int ImageDone = 61326;
inline constexpr int ImageDoneUnreadable = 61327;
inline constexpr int ImageStopped = 61328;
inline constexpr int ImageSourceNotOpened = 61329;
inline constexpr int ImageCreateFailed = 61330;
inline constexpr int ImageOnSource = 61331;
inline constexpr int ImageWriteFailed = 61332;
inline constexpr int OkButton = 61333;
inline constexpr int CancelButton = 61334;
inline constexpr int ImageFromDrive = 61335;
inline constexpr int ImageFromDriveLabel = 61336;
inline constexpr int ImageFilter = 61337;
inline constexpr int CreateVirtualCaption = 61338;
inline constexpr int StartFrom = 61339;
inline constexpr int VirtualSize = 61340;
inline constexpr int ZeroGb = 61341;
inline constexpr int TenthsGb = 61342;
inline constexpr int VirtualOutside = 61343;
inline constexpr int VirtualNotANumber = 61344;
inline constexpr int TrashName = 61350;
inline constexpr int TrashOriginalPath = 61351;
inline constexpr int TrashDeleted = 61352;
inline constexpr int TrashOpen = 61353;
inline constexpr int VolumeListDrive = 61354;
inline constexpr int VolumeListType = 61355;
inline constexpr int VolumeListTotal = 61356;
inline constexpr int VolumeListSerial = 61357;
inline constexpr int VolumeListStatus = 61358;
inline constexpr int VolumeSelect = 61359;
inline constexpr int VolumeRescan = 61360;
inline constexpr int VolumeProperties = 61361;
inline constexpr int VolumeInformationCaption = 61362;
inline constexpr int PageGeneral = 61363;
inline constexpr int PageInformation = 61364;
inline constexpr int PageCapabilities = 61365;
inline constexpr int Yes = 61366;
inline constexpr int No = 61367;
inline constexpr int InfoProperty = 61368;
inline constexpr int InfoValue = 61369;
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
