#pragma once
// The program's registry: hives, keys with backslash paths, named values with
// a type and byte-exact data, kept in one SQLite database
// ($XDG_CONFIG_HOME/vornex/registry.sqlite). Key paths compare without regard
// to case, as the Windows registry does. Every write is one transaction, so a
// crash or a full disk in the middle of a save leaves the previous value.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct sqlite3;

namespace vx {

enum class RegHive : int { CurrentUser = 1, ClassesRoot = 2 };

enum RegType : uint32_t { REG_NONE = 0, REG_SZ = 1, REG_BINARY = 3, REG_DWORD = 4 };

struct RegValue {
    std::string name;  // "" is the key's default value
    uint32_t type = REG_NONE;
    std::vector<uint8_t> data;
};

class CRegistry {
public:
    // The store of the current user, opened on first use.
    static CRegistry& Instance();
    // Opens the store at another path from now on (tests point it into a
    // temporary config folder). Closes the current database.
    static void UseDatabase(const std::string& path);
    static std::string DefaultPath();

    explicit CRegistry(std::string path);
    ~CRegistry();
    CRegistry(const CRegistry&) = delete;
    CRegistry& operator=(const CRegistry&) = delete;

    [[nodiscard]] int CreateKey(RegHive hive, const std::string& key);
    [[nodiscard]] bool KeyExists(RegHive hive, const std::string& key);
    // Removes the key, its values and every key below it. 1 when it existed.
    int DeleteKey(RegHive hive, const std::string& key);
    // Creates the key when missing. 1 on success.
    [[nodiscard]] int SetValue(RegHive hive, const std::string& key, const std::string& name, uint32_t type,
                               const void* data, size_t size);
    int SetString(RegHive hive, const std::string& key, const std::string& name, const std::string& text);
    // 1 when the value exists.
    [[nodiscard]] int QueryValue(RegHive hive, const std::string& key, const std::string& name, RegValue& out);
    int DeleteValue(RegHive hive, const std::string& key, const std::string& name);
    std::vector<RegValue> Values(RegHive hive, const std::string& key);
    // Names of the keys directly below `key`.
    std::vector<std::string> SubKeys(RegHive hive, const std::string& key);

    // Groups several writes into one transaction (a whole database save).
    class Transaction {
    public:
        explicit Transaction(CRegistry& registry);
        ~Transaction();  // rolls back unless committed
        int Commit();
    private:
        CRegistry& registry_;
        bool done_ = false;
    };

    const std::string& Path() const { return path_; }

private:
    bool Open();
    bool Exec(const char* sql);
    int EnsureKey(RegHive hive, const std::string& key);

    std::recursive_mutex mutex_;
    std::string path_;
    sqlite3* db_ = nullptr;
    int transactionDepth_ = 0;
};

// Converts a string value's data (UTF-16LE with its terminating zero, as
// SetString writes it) to UTF-8.
std::string RegValueText(const RegValue& value);

}  // namespace vx
