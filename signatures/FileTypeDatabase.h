#pragma once
// FileTypeDatabase: the process's knowledge of file formats, reached through
// FileTypes(). It holds the format list (list order is the order the scanner
// tests formats in and the order lookups search), the eleven groups, and the
// extension map (upper-case extension -> first format claiming it).
//
// Use:
//   FileTypeDatabase& db = FileTypes();
//   db.EnsureLoaded();                         // registry, or the built-in table
//   const FileType* t = db.FindForObject(obj); // by obj.type, else by name's extension
//   std::string stem = t->NamePrefix();        // "image" -> image_1234.JPG
//   std::string ext = FileTypeDatabase::FirstExtension(*t);   // "JPG"
//   std::string group = db.GroupTitle(t->GroupId());          // "Images"
//   auto matcher = db.Matcher();               // snapshot for a sector scan
//
// Records returned stay valid for the life of the process (a reload keeps the
// old ones alive; the format list only grows). Lookups may be called from any
// thread; loading, adding and saving happen on the user-interface thread.
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "signatures/FileType.h"

namespace vx {

struct FoundObject;
class FastMatcher;

// Group ids of the database (negative; format records carry them in their
// group field). System formats use kSystemGroup, which has no group record.
namespace group_id {
inline constexpr int32_t Documents = -144;
inline constexpr int32_t Archives = -48;
inline constexpr int32_t Databases = -64;
inline constexpr int32_t Images = -115;
inline constexpr int32_t Photos = -117;
inline constexpr int32_t Video = -120;
inline constexpr int32_t Audio = -122;
inline constexpr int32_t Storages = -112;
inline constexpr int32_t Mobile = -128;
inline constexpr int32_t Executable = -80;
inline constexpr int32_t Email = -133;
inline constexpr int32_t System = -16;
}  // namespace group_id

// The compound-document family's recognising format.
inline constexpr int32_t kCompoundFormatId = 500;
// Stored forms longer than this are not read back (the size SaveType builds in).
inline constexpr size_t kMaxStoredTypeSize = 1 << 20;

class FileTypeDatabase {
public:
    FileTypeDatabase();
    ~FileTypeDatabase();
    FileTypeDatabase(const FileTypeDatabase&) = delete;
    FileTypeDatabase& operator=(const FileTypeDatabase&) = delete;

    // Builds the groups, loads the formats from the registry ("\File Types"
    // of the program key) or, when it holds none, builds the built-in table
    // and saves it; then builds the extension map. Returns 1.
    int LoadDatabase();
    // LoadDatabase unless it has run already.
    void EnsureLoaded();
    bool IsLoaded() const;
    // Some format of today's set (ids 900 to 999) is in the list.
    bool HasTodayTypes() const;
    // Writes every group ("\Groups") and every format ("\File Types"). Returns 1.
    int SaveDatabase();
    // Writes one record as one REG_BINARY value under `key` (a key path of the
    // current user's hive) named by ValueName. 1 on success.
    int SaveType(const FileType& record, const std::string& key);
    // "%d.%d.%s.%s" of group id, format id, title and first extension.
    static std::string ValueName(const FileType& record);

    // Appends a format; the database owns it from then on. The extension map
    // is not updated (LoadDatabase rebuilds it). Returns the record.
    FileType* AddType(std::unique_ptr<FileType> record);
    // Tells the database that signatures of a record were edited, so the next
    // Matcher() snapshot sees them.
    void SignaturesChanged();

    // The first format in list order with this id, or null.
    FileType* FindTypeById(int32_t id) const;
    // The format of a found object: by its type id when not 0, else by its
    // name's extension. The non-const overload also sets the object's type id
    // when the extension gave the answer. Not for volume nodes (their name
    // field holds the volume).
    FileType* FindForObject(FoundObject& object) const;
    FileType* FindForObject(const FoundObject& object) const;
    // The extension map entry for an extension without dot, any case.
    FileType* FindByExtension(std::string_view extension) const;
    // The default extension: the extensions field up to the first "," or ";",
    // or the whole field when it has none or begins with one.
    static std::string FirstExtension(const FileType& record);
    // The extension of a file name as the lookup uses it: the text after the
    // last dot of the last path component, upper-cased; "" when none.
    static std::string NameExtension(std::string_view name);

    // The format list in list order (a copy of the pointers).
    std::vector<FileType*> Types() const;
    size_t TypeCount() const;
    // The groups in their fixed order.
    std::vector<const FileType*> Groups() const;
    const FileType* FindGroup(int32_t groupId) const;
    // The group's name ("Images"), or "" for an id without a group record.
    std::string GroupTitle(int32_t groupId) const;
    // The extension map in insertion order.
    std::vector<std::pair<std::string, FileType*>> ExtensionMap() const;

    // The fast matcher over the current format list, built on first use after
    // every load or change. A scan keeps its snapshot for its whole run.
    std::shared_ptr<const FastMatcher> Matcher() const;

    // Forgets every format and group (tests; records handed out stay alive).
    void Clear();

private:
    // Moves every record to the retired list, so pointers handed out stay valid.
    void RetireLocked();
    void BuildGroups();
    void LoadFromValues(const std::string& key);
    void BuildExtensionMap();
    FileType* FindTypeByIdLocked(int32_t id) const;
    FileType* FindByExtensionLocked(const std::string& upper) const;

    mutable std::shared_mutex mutex_;
    bool loaded_ = false;
    std::vector<std::shared_ptr<FileType>> types_;
    std::vector<std::shared_ptr<FileType>> groups_;
    std::vector<std::pair<std::string, FileType*>> extensionOrder_;
    std::unordered_map<std::string, FileType*> extensions_;
    // Records of earlier loads, kept so that pointers handed out stay valid.
    std::vector<std::shared_ptr<FileType>> retired_;
    mutable std::mutex matcherMutex_;
    mutable std::shared_ptr<const FastMatcher> matcher_;
};

// The database of the process.
FileTypeDatabase& FileTypes();

// The registry keys of the database.
std::string FileTypesKey();
std::string GroupsKey();

// Builds the built-in formats, in list order.
std::vector<std::unique_ptr<FileType>> BuildBuiltinTypes();
// The formats of today's files alone (ids 900 to 999), also part of BuildBuiltinTypes:
// a database saved before they existed gets them added when it loads.
std::vector<std::unique_ptr<FileType>> BuildTodayTypes();

}  // namespace vx
