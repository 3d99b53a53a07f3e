// The formats the program knows without any registry: 104 rows in list order
// (the order the scanner tests them in), each with its content signatures.
// Signatures are alternatives; the conditions of one signature must all hold.
#include <string_view>

#include "signatures/FileTypeDatabase.h"

namespace vx {

namespace {

using namespace std::string_view_literals;
using Bytes = std::vector<uint8_t>;

struct Cond {
    uint32_t kind;
    Bytes data;
    int32_t offset;
};
using Sig = std::vector<Cond>;

struct Row {
    int32_t id;
    int32_t group;
    const char* description;
    const char* prefix;
    const char* extensions;
    std::vector<Sig> signatures;
    const char* title = "";
};

Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

Cond b(uint8_t v, int32_t at) { return {CondByte, {v}, at}; }
Cond w(Bytes v, int32_t at) { return {CondWord, std::move(v), at}; }
Cond d(Bytes v, int32_t at) { return {CondDword, std::move(v), at}; }
Cond q(Bytes v, int32_t at) { return {CondQword, std::move(v), at}; }
Cond s(std::string_view text, int32_t at) { return {CondBytes, Text(text), at}; }
Cond s(Bytes v, int32_t at) { return {CondBytes, std::move(v), at}; }
Cond fi(std::string_view text, int32_t at) { return {CondFindNoCase, Text(text), at}; }
Cond r16(uint16_t lo, uint16_t hi, int32_t at) {
    return {CondWordRange, {uint8_t(lo), uint8_t(lo >> 8), uint8_t(hi), uint8_t(hi >> 8)}, at};
}

// TIFF's two byte orders, shared by the raw photo formats built on it.
const std::vector<Sig> kTiff = {{d({0x4D, 0x4D, 0x00, 0x2A}, 0)}, {d({0x49, 0x49, 0x2A, 0x00}, 0)}};

// Boot sectors: end marker, jump, nop, and the file-system name.
std::vector<Sig> BootSector(std::string_view name, int32_t at) {
    return {{w({0x55, 0xAA}, 510), b(0xEB, 0), b(0x90, 2), s(name, at)}};
}

constexpr int32_t kDoc = group_id::Documents, kArc = group_id::Archives, kDb = group_id::Databases,
                  kImg = group_id::Images, kPho = group_id::Photos, kVid = group_id::Video,
                  kAud = group_id::Audio, kSto = group_id::Storages, kMob = group_id::Mobile,
                  kExe = group_id::Executable, kSys = group_id::System;

// The image count of an icon file: at least one, and at most 512, well above
// what icon tools write (a few dozen sizes) yet below the sector's room.
constexpr uint16_t kIconMinImages = 1, kIconMaxImages = 512;

// A font's table count, big-endian at offset 4, read as a little-endian word:
// 1 to 64 tables.
constexpr uint16_t kFontMinTables = 0x0100, kFontMaxTables = 0x4000;

std::vector<Row> Rows() {
    return {
        {47, kDoc, "Portable Document Format (Adobe Acrobat)", "adobe", "PDF", {{s("%PDF-1.", 0)}, {s("%PDF-2.", 0)}}},
        {42, kDoc, "WordPerfect Format", "document", "WPC", {{d({0xFF, 0x57, 0x50, 0x43}, 0)}}},
        {46, kDoc, "Microsoft Write", "document", "WRI",
         {{s(Bytes{0xBE, 0, 0, 0, 0xAB, 0, 0, 0, 0, 0, 0, 0, 0}, 1)}}},
        {45, kDoc, "Microsoft Reader Document (Windows CE)", "document", "LIT", {{s("ITOLITLS", 0)}}},
        {41, kDoc, "Rich Text Format", "document", "RTF", {{s("{\\rtf", 0)}}},
        {60, kDoc, "DjVu Text Format", "document", "DJVU;DJV", {{s("AT&TFORM", 0)}}},
        {82, kDoc, "Adobe Encapsulated PostScript", "adobe", "EPS", {{s("%!PS-Adobe", 0)}}},
        {51, kDoc, "XML File", "xml", "XML", {{s("<?xml ", 0)}, {s("<?XML ", 0)}}},
        {52, kDoc, "HTML Hypertext Web Document", "web_document", "HTML;HTM",
         {{fi("<HTML", 0)}, {fi("<!DOCTYPE HTML", 0)}}},
        {44, kDoc, "HTML Help File", "help", "CHM", {{q({0x49, 0x54, 0x53, 0x46, 0x03, 0, 0, 0}, 0)}}},
        {43, kDoc, "Windows Help File", "help", "HLP", {{d({0x3F, 0x5F, 0x03, 0x00}, 0)}}},
        {48, kDoc, "Lotus 1-2-3/Symphony Document", "document", "WKS", {{s(Bytes{0, 0, 2, 0, 4}, 0)}}},
        {50, kDoc, "Business Card (vCard)", "vCard", "VCF", {{s("BEGIN:VCARD", 0)}}},
        {54, kDoc, "Internet shortcut file", "url", "URL", {{s("[InternetShortcut]", 0)}}},
        {200, kAud, "Windows Audio", "audio", "WAV", {{d(Text("RIFF"), 0), s("WAVEfmt", 8)}}},
        {220, kAud, "MIDI Audio (.MID, .MIDI, .KAR, .RMI)", "audio", "MID,MIDI,KAR,RMI",
         {{q({0x4D, 0x54, 0x68, 0x64, 0, 0, 0, 0x06}, 0)}}},
        {202, kAud, "OGG Audio", "audio", "OGG", {{q({0x4F, 0x67, 0x67, 0x53, 0, 0x02, 0, 0}, 0)}}},
        {221, kAud, "Digital Speech Standard", "audio", "DSS", {{d({0x02, 0x64, 0x73, 0x73}, 0)}}},
        {222, kAud, "AU Audio", "audio", "AU,SND", {{d(Text(".snd"), 0)}}},
        {223, kAud, "AIF Audio", "audio", "AIF,AIFF,AIFC", {{d(Text("FORM"), 0), s("AIF", 8)}}},
        {224, kAud, "M3U Play List File", "audio", "M3U", {{s("#EXTM3U", 0)}}},
        {226, kAud, "Creative Voice File", "audio", "VOC", {{s("Creative Voice File", 0)}}},
        {227, kAud, "Audio Visual Research File", "audio", "AVR", {{d(Text("2BIT"), 0)}}},
        {83, kImg, "JPEG Image", "image", "JPG,JPEG,JPE,JFIF,JFI",
         {{d({0xFF, 0xD8, 0xFF, 0xE1}, 0)}, {d({0xFF, 0xD8, 0xFF, 0xE0}, 0)},
          {d({0xFF, 0xD8, 0xFF, 0xDB}, 0)}, {d({0xFF, 0xD8, 0xFF, 0xE2}, 0)}, {d({0xFF, 0xD8, 0xFF, 0xEE}, 0)}}},
        {525, kImg, "Bitmap Image", "image", "BMP", {{w(Text("BM"), 0), d({0, 0, 0, 0}, 6)}}},
        {85, kImg, "GIF Image", "image", "GIF", {{d(Text("GIF8"), 0), b(0x61, 5)}}},
        {88, kImg, "PNG Image", "image", "PNG",
         {{q({0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A}, 0), q({0, 0, 0, 0x0D, 0x49, 0x48, 0x44, 0x52}, 8)}}},
        {89, kImg, "Photoshop Document", "image", "PSD", {{q({0x38, 0x42, 0x50, 0x53, 0, 0x01, 0, 0}, 0)}}},
        {91, kImg, "Windows Metafile", "image", "WMF,MET", {{d({0xD7, 0xCD, 0xC6, 0x9A}, 0), w({0, 0}, 4)}}},
        {92, kImg, "TrueType Font File", "image", "TTF", {{d({0, 0x01, 0, 0}, 0), r16(kFontMinTables, kFontMaxTables, 4)}}},
        {93, kImg, "Paint Shop Pro Image", "image", "PSP", {{s("Paint Shop Pro Image File", 0)}}},
        {94, kImg, "Corel Draw", "image", "CDR", {{d(Text("RIFF"), 0), s("CDR", 8)}}},
        // The format's marker " eXtended " follows the 8-byte TIFF header.
        {95, kImg, "Xerox Image Format", "image", "XIF", {{s("II*", 0), q(Text("eXtended"), 9)}}},
        {90, kImg, "Icon File", "image", "ICO",
         {{d({0, 0, 0x01, 0}, 0), r16(kIconMinImages, kIconMaxImages, 4), b(0x00, 9)}}},
        {96, kImg, "AutoCAD Drawing", "image", "DWG", {{d({0x2A, 0x38, 0x78, 0x02}, 0)}}},
        {97, kImg, "AutoCAD Drawing", "image", "DXF", {{s("SECTION", 4)}}},
        {110, kPho, "Minolta RAW. Raster image from a Minolta digital camera", "foto_image", "MRW",
         {{d({0, 0x4D, 0x52, 0x4D}, 0)}}},
        {111, kPho, "Canon RAW. Photograph from a Canon camera", "foto_image", "CRW,CR2",
         {{s("HEAPCCDR", 8)}, {s("HEAPJPGM", 8)}, {s("HEAPTIFP", 8)}, {s("HEAPARCH", 8)}}},
        {112, kPho, "Digital Camera RAW. Photograph from a Kodak digital camera", "foto_image", "DCR",
         {{d(Text("RIFX"), 0)}, {d(Text("XFIR"), 0)}}},
        {117, kPho, "Fuji RAW. Raster image from a Fuji digital camera", "foto_image", "RAF", {{s("FUJIFILM", 0)}}},
        {114, kPho, "NEF Foto", "foto_image", "NEF", kTiff},
        {115, kPho, "Olympus Raw Format", "foto_image", "ORF", {{d(Text("IIRS"), 0)}}},
        {116, kPho, "Pentax Electronic Format", "foto_image", "PEF", kTiff},
        {118, kPho, "Sony RAW File", "foto_image", "SRF", kTiff},
        {87, kImg, "TIFF Image", "image", "TIFF,TIF", kTiff},
        {160, kVid, "ASF", "video", "ASF",
         {{q({0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11}, 0),
           q({0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C}, 8)}}},
        {150, kVid, "RealMedia File", "video", "RM", {{d(Text(".RMF"), 0)}}},
        {170, kVid, "QuickTime (Rich Media Format)", "quicktime", "MOV,QT,PKG,M2S,MPGX,MPM,QTIF,QTI",
         // A box's type follows its 32-bit size.
         {{d(Text("moov"), 4)}, {d(Text("pnot"), 4)}, {d(Text("mdat"), 4)}, {d(Text("wide"), 4)},
          {d(Text("vide"), 4)}, {d(Text("trak"), 4)}, {d(Text("skip"), 4)}, {d(Text("MPEG"), 4)},
          {d(Text("strm"), 4)}, {d(Text("free"), 4)}, {s("ftypqt  ", 4)}}},
        {524, kVid, "AVI (RIFF Video Format)", "video", "AVI", {{d(Text("RIFF"), 0), s("AVI LIST", 8)}}},
        {181, kVid, "Mobile Phone Video", "mobile_video", "3GP", {{s("ftyp3gp", 4)}}},
        {141, kVid, "MPEG-4 Video File", "video", "MP4", {{s("ftypisom", 4)}, {s("ftypiso", 4)}, {s("ftypmp4", 4)}, {s("ftypavc1", 4)},
          {s("ftypM4V", 4)}, {s("ftypdash", 4)}, {s("ftypf4v", 4)}}},
        {265, kMob, "SymbianOS Installer File", "mobile_content", "SIS",
         {{d({0x04, 0x19, 0x10, 0x00}, 6), w({0x10, 0x00}, 10)}}},
        // 266 is Pocket Backup's; Pocket Word has an id of its own.
        {267, kMob, "Microsoft PocketPC Word", "mobile_content", "PSW", {{s("{\\pwi", 0)}}},
        {266, kMob, "Microsoft PocketPC Buckup", "mobile_content", "PBF", {{s("POCKETPCIMAGE", 0)}}},
        {300, kArc, "PkZIP/WinZIP Archive File", "archive", "ZIP", {{d({0x50, 0x4B, 0x03, 0x04}, 0)}}},
        {330, kArc, "TAR Archive File", "archive", "TAR", {{s("ustar", 257)}}},
        {310, kArc, "RAR Archive File", "archive", "RAR", {{d(Text("Rar!"), 0)}, {s(Bytes{0x1A, 0x07, 0x00}, 4)}}},
        {320, kArc, "ARJ Archive File", "archive", "ARJ", {{w({0x60, 0xEA}, 0)}}},
        {331, kArc, "GZIP Archive File", "archive", "GZIP", {{w({0x1F, 0x8B}, 0)}}},
        {332, kArc, "ACE Archive File", "archive", "ACE", {{s("**ACE**", 0)}}},
        {333, kArc, "LZH Archive File", "archive", "LZH", {{s("-lh", 2)}, {s("-lz", 2)}}},
        {334, kArc, "HA Archive File", "archive", "HA", {{w(Text("HA"), 0)}}},
        {335, kArc, "HYP Archive File", "archive", "HYP", {{s(Bytes{0x1A, 'P', 0x00}, 0)}, {s(Bytes{0x1A, 'T', 0x00}, 0)}}},
        {336, kArc, "MS Cabinet File", "archive", "CAB", {{q({0x4D, 0x53, 0x43, 0x46, 0, 0, 0, 0}, 0)}}},
        {337, kArc, "ZOO Archive File", "archive", "ZOO", {{d(Text("ZOO "), 0)}}},
        {338, kArc, "JAR Archive File", "archive", "JAR",
         {{q({0x50, 0x4B, 0x03, 0x04, 0x14, 0x00, 0x08, 0x00}, 0)}, {s("JARCS\0"sv, 0)}}},
        {339, kArc, "Z Archive File", "archive", "Z", {{w({0x1F, 0x9D}, 0)}}},
        {344, kArc, "GZ Archive File", "archive", "GZ", {{s(Bytes{0x1F, 0x8B, 0x08}, 0)}}},
        {345, kArc, "7Z Archive File", "archive", "7Z", {{w(Text("7z"), 0), d({0xBC, 0xAF, 0x27, 0x1C}, 2)}}},
        {340, kArc, "AIN Archive File", "archive", "AIN", {{d({0x21, 0x12, 0x00, 0x00}, 0)}}},
        {341, kArc, "BZIP Archive File", "archive", "BZIP,BZI", {{s("BZh", 0), s("1AY&SY", 4)}}},
        {342, kArc, "RK Archive File", "archive", "RK", {{d(Text("RKA7"), 0)}}},
        {343, kArc, "UC2 Archive File", "archive", "UC2", {{d({0x55, 0x43, 0x32, 0x1A}, 0)}}},
        {400, kExe, "DOS Executable File", "executable", "EXE", {{w(Text("MZ"), 0)}}, "EXE-DOS"},
        {411, kExe, "LIBCOFF Executable File", "executable", "LIB",
         {{q({0x21, 0x3C, 0x61, 0x72, 0x63, 0x68, 0x3E, 0x0A}, 0)}}, "EXE-LIBCOFF"},
        {412, kExe, "MSLIB Executable File", "executable", "LIB", {{d({0xF0, 0x0D, 0x00, 0x00}, 0)}}, "EXE-MSLIB"},
        // 500 is the compound-document family's and 501 the Excel document's;
        // these two formats have ids of their own.
        {253, kDb, "Outlook Express E-mail Folder", "outlook_express_data", "DBX",
         {{d({0xCF, 0xAD, 0x12, 0xFE}, 0)}}},
        {801, kDb, "Microsoft Access Database", "access_database", "MDB", {{s("Standard Jet DB\0"sv, 4)}}},
        {800, kDb, "Microsoft Money Data", "money_data", "MNY", {{s("MSISAM.Database", 4)}}},
        {250, kDoc, "MS Outlook Personal Folders", "outlook", "PST,OST", {{d(Text("!BDN"), 0)}}},
        {251, kDoc, "MS Outlook Address Book", "outlook_address_book", "OAB",
         {{s(Bytes{0, 0, 0, 0x94, 0x01, 0x00, '>'}, 1)}}},
        {53, kDoc, "Ichitaro Document (Japanese)", "document", "JXW,JAW,JBW,JSW",
         {{d({0x44, 0x4F, 0x43, 0x00}, 0), d({0, 0, 0, 0}, 4)}}},
        {252, kDoc, "MS Calendar", "Calendar", "CAL", {{q({0xB5, 0xA2, 0xB0, 0xB3, 0xB3, 0xB0, 0xA2, 0xB5}, 0)}}},
        // 506 is the Project document's; 610 the disk image's.
        {802, kDb, "Microsoft Cardfile", "Cardfile", "CRD", {{s("MGC", 0)}}},
        {612, kDoc, "Win Organizer", "WinOrganizer", "GSO", {{s("TreeData", 1)}}},
        {610, kSto, "Best Crypt Disk Image", "Disk_Image", "JBC", {{s("LOCOS", 3)}}},
        {611, kSto, "PGP Disk Image", "Disk_Image", "PGD", {{s("PGPdMAIN", 0)}}},
        {1, kSys, "System Logical FAT12 Disk", "system", "SYSTEM", BootSector("FAT12", 54)},
        {4, kSys, "System Logical FAT16 Disk", "system", "SYSTEM", BootSector("FAT16", 54)},
        {11, kSys, "System Logical FAT32 Disk", "system", "SYSTEM", BootSector("FAT32", 82)},
        {7, kSys, "System Logical NTFS Disk", "system", "SYSTEM", BootSector("NTFS    ", 3)},
        {24, kSys, "NTFS File Entry ", "system", "SYSTEM", {{d(Text("FILE"), 0)}}},
        // The compound-document family: the header, then the kinds the stream
        // names give (no signatures of their own).
        {500, kDoc, "Microsoft Storage File (DOC,XLS,PPT and etc.)", "document", "DOC",
         {{d({0xD0, 0xCF, 0x11, 0xE0}, 0)}}},
        {502, kDoc, "Microsoft Word Document", "document", "DOC", {}},
        {501, kDoc, "Microsoft Excel Document", "document", "XLS", {}},
        {503, kDoc, "Microsoft PowerPoint Presentation", "document", "PTT", {}},
        {508, kDoc, "Microsoft Publisher Document", "document", "PUB", {}},
        {506, kDoc, "Microsoft Project Document", "document", "MPP", {}},
        {505, kDoc, "Microsoft Visio Document", "document", "VSD", {}},
        {507, kDoc, "Microsoft Works Document", "document", "WPS", {}},
        {522, kDoc, "3D Studio Max Model", "discreet", "MAX", {}},
        {81, kDoc, "3D Studio Max Model", "discreet", "3DS", {}},
        {523, kDoc, "Macromedia Flash", "flash_document", "FLA", {}},
        {520, kDoc, "Ichitaro Document (Storage File) (Japanese)", "document", "JTD,JTD,JFW,JTT", {}},
    };
}


// Formats of today's files, in a range of their own (900 to 999). Rows
// without signatures are named by the structure of a file another row found
// (the TIFF walk names DNG and ARW files).
std::vector<Row> TodayRows() {
    return {
        {900, kAud, "MP3 Audio", "audio", "MP3",
         {{s("ID3", 0)}, {w({0xFF, 0xFB}, 0)}, {w({0xFF, 0xFA}, 0)}, {w({0xFF, 0xF3}, 0)}, {w({0xFF, 0xF2}, 0)}}},
        {901, kAud, "MPEG-4 Audio", "audio", "M4A", {{s("ftypM4A ", 4)}, {s("ftypM4B ", 4)}}},
        {902, kImg, "HEIF Image (HEIC)", "image", "HEIC,HEIF",
         {{s("ftypheic", 4)}, {s("ftypheix", 4)}, {s("ftypmif1", 4)}, {s("ftypmsf1", 4)}, {s("ftyphevc", 4)}}},
        {903, kImg, "WebP Image", "image", "WEBP", {{d(Text("RIFF"), 0), s("WEBPVP8", 8)}}},
        {904, kVid, "Matroska Video", "video", "MKV,MKA", {{d({0x1A, 0x45, 0xDF, 0xA3}, 0)}}},
        {905, kVid, "WebM Video", "video", "WEBM", {}},
        {906, kAud, "FLAC Audio", "audio", "FLAC", {{d(Text("fLaC"), 0)}}},
        {907, kDb, "SQLite Database", "database", "SQLITE,DB", {{s("SQLite format 3\0"sv, 0)}}},
        {908, kExe, "ELF Executable", "executable", "ELF,SO", {{d({0x7F, 'E', 'L', 'F'}, 0)}}},
        {909, kArc, "XZ Archive File", "archive", "XZ", {{s(Bytes{0xFD, '7', 'z', 'X', 'Z', 0x00}, 0)}}},
        {910, kArc, "Zstandard Archive File", "archive", "ZST", {{d({0x28, 0xB5, 0x2F, 0xFD}, 0)}}},
        {911, kPho, "Digital Negative (DNG)", "foto_image", "DNG", {}},
        {912, kPho, "Canon RAW 3", "foto_image", "CR3", {{s("ftypcrx ", 4)}}},
        {913, kPho, "Sony Alpha RAW", "foto_image", "ARW", {}},
        {914, kDoc, "EPUB Electronic Book", "document", "EPUB",
         {{d({0x50, 0x4B, 0x03, 0x04}, 0), s("mimetypeapplication/epub+zip", 30)}}},
        {915, kImg, "OpenType Font File", "image", "OTF", {{d(Text("OTTO"), 0), r16(kFontMinTables, kFontMaxTables, 4)}}},
    };
}

std::vector<std::unique_ptr<FileType>> BuildRows(const std::vector<Row>& rows) {
    std::vector<std::unique_ptr<FileType>> out;
    for (const Row& row : rows) {
        auto t = FileType::Create(row.id, row.group, row.description, row.prefix, row.extensions);
        if (*row.title) t->SetTitle(row.title);
        for (const Sig& sig : row.signatures) {
            size_t index = 0;
            for (size_t k = 0; k < sig.size(); ++k) {
                const Cond& c = sig[k];
                // Bytes and find conditions test all their data; the other kinds
                // take their natural length.
                uint16_t length = ConditionWidth(c.kind) == 0 ? uint16_t(c.data.size()) : 0;
                if (k == 0)
                    index = t->AddSignature(c.kind, c.data, c.offset, length);
                else
                    t->AddCondition(index, c.kind, c.data, c.offset, length);
            }
        }
        out.push_back(std::move(t));
    }
    return out;
}

}  // namespace

std::vector<std::unique_ptr<FileType>> BuildBuiltinTypes() {
    std::vector<std::unique_ptr<FileType>> out = BuildRows(Rows());
    for (auto& t : BuildTodayTypes()) out.push_back(std::move(t));
    return out;
}

std::vector<std::unique_ptr<FileType>> BuildTodayTypes() { return BuildRows(TodayRows()); }

}  // namespace vx
