#include "signatures/FileTypeDatabase.h"

#include <mutex>
#include <set>

#include "common/Strings.h"
#include "common/Text.h"
#include "fs/FoundObject.h"
#include "settings/ProgramSettings.h"
#include "settings/Registry.h"
#include "signatures/FormatIds.h"
#include "signatures/FastMatcher.h"

namespace vx {

namespace {

// At most this many values are read from the "\File Types" key.
constexpr size_t kMaxTypeValues = 32767;

struct GroupRow {
    int32_t id;
    const char* name;
};

constexpr GroupRow kGroups[] = {
    {group_id::Documents, "Documents"},
    {group_id::Archives, "Archives"},
    {group_id::Databases, "Databases"},
    {group_id::Images, "Images"},
    {group_id::Photos, "Photos"},
    {group_id::Video, "Video"},
    {group_id::Audio, "Audio"},
    {group_id::Storages, "Storages and Drive images"},
    {group_id::Mobile, "Mobile"},
    {group_id::Executable, "Executable"},
    {group_id::Email, "E-mail"},
};

bool IsTrimmed(char c) { return c == ',' || c == ';' || c == ' ' || c == '*' || c == '.'; }

}  // namespace

std::string FileTypesKey() { return std::string(kProgramKey) + "\\File Types"; }
std::string GroupsKey() { return std::string(kProgramKey) + "\\Groups"; }

FileTypeDatabase& FileTypes() {
    static FileTypeDatabase database;
    return database;
}

FileTypeDatabase::FileTypeDatabase() = default;
FileTypeDatabase::~FileTypeDatabase() = default;

void FileTypeDatabase::RetireLocked() {
    retired_.insert(retired_.end(), types_.begin(), types_.end());
    retired_.insert(retired_.end(), groups_.begin(), groups_.end());
    types_.clear();
    groups_.clear();
    extensionOrder_.clear();
    extensions_.clear();
}

void FileTypeDatabase::BuildGroups() {
    groups_.clear();
    for (const GroupRow& row : kGroups) {
        auto g = std::make_shared<FileType>();
        g->SetGroupId(row.id);
        g->SetWord(file_type_offset::GroupFlag, 1);
        g->SetWord(file_type_offset::Reserved44, 50);
        g->SetTitle(row.name);
        groups_.push_back(std::move(g));
    }
}

int FileTypeDatabase::LoadDatabase() {
    {
        std::unique_lock lock(mutex_);
        RetireLocked();
        BuildGroups();
        if (CRegistry::Instance().KeyExists(RegHive::CurrentUser, FileTypesKey())) LoadFromValues(FileTypesKey());
    }
    // A key that yields no format at all (every value unreadable) counts as
    // absent: a database without formats would find nothing.
    bool built = false;
    if (TypeCount() == 0) {
        for (auto& t : BuildBuiltinTypes()) AddType(std::move(t));
        built = true;
    } else if (!HasTodayTypes()) {
        // A database saved before today's formats existed gets them once;
        // after that they are stored, edited and deleted like any other.
        for (auto& t : BuildTodayTypes()) AddType(std::move(t));
        built = true;
    }
    {
        std::unique_lock lock(mutex_);
        BuildExtensionMap();
        loaded_ = true;
    }
    SignaturesChanged();
    if (built) SaveDatabase();
    return 1;
}

bool FileTypeDatabase::HasTodayTypes() const {
    std::shared_lock lock(mutex_);
    for (const auto& t : types_)
        if (t->Id() >= format_id::TodayFirst && t->Id() <= format_id::TodayLast) return true;
    return false;
}

void FileTypeDatabase::EnsureLoaded() {
    if (!IsLoaded()) LoadDatabase();
}

bool FileTypeDatabase::IsLoaded() const {
    std::shared_lock lock(mutex_);
    return loaded_;
}

void FileTypeDatabase::LoadFromValues(const std::string& key) {
    std::vector<RegValue> values = CRegistry::Instance().Values(RegHive::CurrentUser, key);
    if (values.size() > kMaxTypeValues) values.resize(kMaxTypeValues);
    for (const RegValue& v : values) {
        ByteSpan data(v.data);
        if (data.size() < kFileTypeStoredSize || data.size() > kMaxStoredTypeSize) continue;
        // A repeated id: the later value's stored fields, the first one's signatures.
        if (FileType* existing = FindTypeByIdLocked(int32_t(le32(data, file_type_offset::Id)))) {
            existing->SetStoredFields(data);
            continue;
        }
        std::unique_ptr<FileType> t = FileType::Deserialize(data);
        if (!t) continue;  // a damaged value is skipped
        types_.push_back(std::move(t));
    }
}

void FileTypeDatabase::BuildExtensionMap() {
    extensionOrder_.clear();
    extensions_.clear();
    for (const auto& t : types_) {
        const std::string field = t->Extensions();
        size_t start = 0;
        while (start <= field.size()) {
            size_t end = field.find_first_of(",;", start);
            if (end == std::string::npos) end = field.size();
            size_t a = start, b = end;
            while (a < b && IsTrimmed(field[a])) ++a;
            while (b > a && IsTrimmed(field[b - 1])) --b;
            if (b > a) {
                std::string ext = ToUpperAscii(field.substr(a, b - a));
                if (extensions_.emplace(ext, t.get()).second) extensionOrder_.emplace_back(ext, t.get());
            }
            start = end + 1;
        }
    }
}

int FileTypeDatabase::SaveDatabase() {
    std::shared_lock lock(mutex_);
    CRegistry& reg = CRegistry::Instance();
    CRegistry::Transaction tx(reg);
    if (reg.CreateKey(RegHive::CurrentUser, GroupsKey()))
        for (const auto& g : groups_) SaveType(*g, GroupsKey());
    if (reg.CreateKey(RegHive::CurrentUser, FileTypesKey())) {
        std::set<int32_t> ids;
        std::set<std::string> names;
        for (const auto& t : types_) {
            SaveType(*t, FileTypesKey());
            ids.insert(t->Id());
            names.insert(ToUpperAscii(ValueName(*t)));
        }
        // A value left under an old name (its title or extension was edited)
        // would load before the current one and bring back its old signatures
        // and list position; values of formats no longer present stay.
        for (const RegValue& v : reg.Values(RegHive::CurrentUser, FileTypesKey())) {
            if (v.data.size() < 4) continue;
            if (ids.count(int32_t(le32(v.data, 0))) && !names.count(ToUpperAscii(v.name)))
                reg.DeleteValue(RegHive::CurrentUser, FileTypesKey(), v.name);
        }
    }
    tx.Commit();
    return 1;
}

std::string FileTypeDatabase::ValueName(const FileType& record) {
    return Format("%d.%d.%s.%s", record.GroupId(), record.Id(), record.Title().c_str(),
                  FirstExtension(record).c_str());
}

int FileTypeDatabase::SaveType(const FileType& record, const std::string& key) {
    std::vector<uint8_t> stored = record.Serialize();
    if (stored.size() > kMaxStoredTypeSize) return 0;
    return CRegistry::Instance().SetValue(RegHive::CurrentUser, key, ValueName(record), REG_BINARY, stored.data(),
                                          stored.size());
}

FileType* FileTypeDatabase::AddType(std::unique_ptr<FileType> record) {
    if (!record) return nullptr;
    FileType* raw = record.get();
    {
        std::unique_lock lock(mutex_);
        types_.push_back(std::move(record));
    }
    SignaturesChanged();
    return raw;
}

void FileTypeDatabase::SignaturesChanged() {
    std::lock_guard lock(matcherMutex_);
    matcher_.reset();
}

std::shared_ptr<const FastMatcher> FileTypeDatabase::Matcher() const {
    std::lock_guard lock(matcherMutex_);
    if (!matcher_) {
        std::vector<std::shared_ptr<FileType>> snapshot;
        {
            std::shared_lock list(mutex_);
            snapshot = types_;
        }
        matcher_ = std::make_shared<const FastMatcher>(std::move(snapshot));
    }
    return matcher_;
}

FileType* FileTypeDatabase::FindTypeByIdLocked(int32_t id) const {
    for (const auto& t : types_)
        if (t->Id() == id) return t.get();
    return nullptr;
}

FileType* FileTypeDatabase::FindTypeById(int32_t id) const {
    std::shared_lock lock(mutex_);
    return FindTypeByIdLocked(id);
}

FileType* FileTypeDatabase::FindByExtensionLocked(const std::string& upper) const {
    auto it = extensions_.find(upper);
    return it == extensions_.end() ? nullptr : it->second;
}

FileType* FileTypeDatabase::FindByExtension(std::string_view extension) const {
    while (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
    if (extension.empty()) return nullptr;
    std::shared_lock lock(mutex_);
    return FindByExtensionLocked(ToUpperAscii(extension));
}

FileType* FileTypeDatabase::FindForObject(const FoundObject& object) const {
    if (object.type != 0)
        if (FileType* t = FindTypeById(object.type)) return t;
    if (!object.name || !*object.name) return nullptr;
    std::string ext = NameExtension(object.name);
    return ext.empty() ? nullptr : FindByExtension(ext);
}

FileType* FileTypeDatabase::FindForObject(FoundObject& object) const {
    FileType* t = FindForObject(static_cast<const FoundObject&>(object));
    if (t && t->Id() != object.type) object.type = int16_t(t->Id());
    return t;
}

std::string FileTypeDatabase::FirstExtension(const FileType& record) {
    std::string field = record.Extensions();
    size_t cut = field.find_first_of(",;");
    if (cut == std::string::npos || cut == 0) return field;
    return field.substr(0, cut);
}

std::string FileTypeDatabase::NameExtension(std::string_view name) {
    size_t slash = name.find_last_of("/\\");
    if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return {};
    return ToUpperAscii(name.substr(dot + 1));
}

std::vector<FileType*> FileTypeDatabase::Types() const {
    std::shared_lock lock(mutex_);
    std::vector<FileType*> out;
    out.reserve(types_.size());
    for (const auto& t : types_) out.push_back(t.get());
    return out;
}

size_t FileTypeDatabase::TypeCount() const {
    std::shared_lock lock(mutex_);
    return types_.size();
}

std::vector<const FileType*> FileTypeDatabase::Groups() const {
    std::shared_lock lock(mutex_);
    std::vector<const FileType*> out;
    for (const auto& g : groups_) out.push_back(g.get());
    return out;
}

const FileType* FileTypeDatabase::FindGroup(int32_t groupId) const {
    std::shared_lock lock(mutex_);
    for (const auto& g : groups_)
        if (g->GroupId() == groupId) return g.get();
    return nullptr;
}

std::string FileTypeDatabase::GroupTitle(int32_t groupId) const {
    const FileType* g = FindGroup(groupId);
    return g ? g->Title() : std::string();
}

std::vector<std::pair<std::string, FileType*>> FileTypeDatabase::ExtensionMap() const {
    std::shared_lock lock(mutex_);
    return extensionOrder_;
}

void FileTypeDatabase::Clear() {
    {
        std::unique_lock lock(mutex_);
        RetireLocked();
        loaded_ = false;
    }
    SignaturesChanged();
}

}  // namespace vx
