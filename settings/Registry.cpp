#include "settings/Registry.h"

#include <sqlite3.h>

#include <cstring>

#include "common/Text.h"
#include "platform/Paths.h"

namespace vx {

namespace {

std::mutex g_instanceMutex;
std::unique_ptr<CRegistry> g_instance;
std::string g_overridePath;

std::string NormaliseKey(const std::string& key) {
    std::string k;
    for (char c : key) {
        if (c == '\\' && (k.empty() || k.back() == '\\')) continue;  // no empty path components
        k += c;
    }
    while (!k.empty() && k.back() == '\\') k.pop_back();
    return k;
}

// A statement that finalises itself.
struct Statement {
    sqlite3_stmt* stmt = nullptr;
    Statement(sqlite3* db, const char* sql) {
        if (db) sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    }
    ~Statement() { sqlite3_finalize(stmt); }
    explicit operator bool() const { return stmt != nullptr; }
    void Bind(int i, int v) { sqlite3_bind_int(stmt, i, v); }
    void Bind(int i, const std::string& s) { sqlite3_bind_text(stmt, i, s.data(), int(s.size()), SQLITE_TRANSIENT); }
    void BindBlob(int i, const void* p, size_t n) {
        sqlite3_bind_blob64(stmt, i, n ? p : "", sqlite3_uint64(n), SQLITE_TRANSIENT);
    }
    int Step() { return sqlite3_step(stmt); }
};

}  // namespace

std::string CRegistry::DefaultPath() { return JoinPath(ConfigFolder(), "registry.sqlite"); }

CRegistry& CRegistry::Instance() {
    std::lock_guard lock(g_instanceMutex);
    if (!g_instance) g_instance = std::make_unique<CRegistry>(g_overridePath.empty() ? DefaultPath() : g_overridePath);
    return *g_instance;
}

void CRegistry::UseDatabase(const std::string& path) {
    std::lock_guard lock(g_instanceMutex);
    g_overridePath = path;
    g_instance.reset();
}

CRegistry::CRegistry(std::string path) : path_(std::move(path)) {}

CRegistry::~CRegistry() {
    if (db_) sqlite3_close(db_);
}

bool CRegistry::Open() {
    if (db_) return true;
    size_t slash = path_.rfind('/');
    if (slash != std::string::npos && slash > 0) MakeFolders(path_.substr(0, slash));
    if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    sqlite3_busy_timeout(db_, 5000);
    Exec("PRAGMA journal_mode=WAL");
    Exec("PRAGMA synchronous=FULL");
    return Exec(
        "CREATE TABLE IF NOT EXISTS keys(hive INTEGER NOT NULL, path TEXT NOT NULL COLLATE NOCASE,"
        " PRIMARY KEY(hive, path));"
        "CREATE TABLE IF NOT EXISTS reg_values(hive INTEGER NOT NULL, key TEXT NOT NULL COLLATE NOCASE,"
        " name TEXT NOT NULL COLLATE NOCASE, type INTEGER NOT NULL, data BLOB NOT NULL,"
        " PRIMARY KEY(hive, key, name));");
}

bool CRegistry::Exec(const char* sql) {
    return db_ && sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

int CRegistry::EnsureKey(RegHive hive, const std::string& key) {
    // Every ancestor exists as a key of its own, so SubKeys sees the tree.
    std::string path;
    size_t pos = 0;
    while (true) {
        size_t next = key.find('\\', pos);
        path = key.substr(0, next);
        Statement st(db_, "INSERT OR IGNORE INTO keys(hive, path) VALUES(?, ?)");
        if (!st) return 0;
        st.Bind(1, int(hive));
        st.Bind(2, path);
        if (st.Step() != SQLITE_DONE) return 0;
        if (next == std::string::npos) return 1;
        pos = next + 1;
    }
}

int CRegistry::CreateKey(RegHive hive, const std::string& key) {
    std::lock_guard lock(mutex_);
    if (!Open()) return 0;
    return EnsureKey(hive, NormaliseKey(key));
}

bool CRegistry::KeyExists(RegHive hive, const std::string& key) {
    std::lock_guard lock(mutex_);
    if (!Open()) return false;
    Statement st(db_, "SELECT 1 FROM keys WHERE hive = ? AND path = ?");
    st.Bind(1, int(hive));
    st.Bind(2, NormaliseKey(key));
    return st && st.Step() == SQLITE_ROW;
}

int CRegistry::DeleteKey(RegHive hive, const std::string& key) {
    std::lock_guard lock(mutex_);
    if (!Open()) return 0;
    std::string k = NormaliseKey(key);
    bool existed = false;
    {
        Statement st(db_, "SELECT 1 FROM keys WHERE hive = ? AND path = ?");
        st.Bind(1, int(hive));
        st.Bind(2, k);
        existed = st && st.Step() == SQLITE_ROW;
    }
    Transaction tx(*this);
    // Keys below: the path followed by a backslash. LIKE is case-insensitive for
    // ASCII; escape its wildcards in the key itself.
    std::string pattern;
    for (char c : k) {
        if (c == '%' || c == '_' || c == '!') pattern += '!';
        pattern += c;
    }
    pattern += "\\%";
    for (const char* sql : {"DELETE FROM keys WHERE hive = ?1 AND (path = ?2 OR path LIKE ?3 ESCAPE '!')",
                            "DELETE FROM reg_values WHERE hive = ?1 AND (key = ?2 OR key LIKE ?3 ESCAPE '!')"}) {
        Statement st(db_, sql);
        if (!st) return 0;
        st.Bind(1, int(hive));
        st.Bind(2, k);
        st.Bind(3, pattern);
        if (st.Step() != SQLITE_DONE) return 0;
    }
    return tx.Commit() && existed ? 1 : 0;
}

int CRegistry::SetValue(RegHive hive, const std::string& key, const std::string& name, uint32_t type,
                        const void* data, size_t size) {
    std::lock_guard lock(mutex_);
    if (!Open()) return 0;
    std::string k = NormaliseKey(key);
    Transaction tx(*this);
    if (!EnsureKey(hive, k)) return 0;
    Statement st(db_, "INSERT OR REPLACE INTO reg_values(hive, key, name, type, data) VALUES(?, ?, ?, ?, ?)");
    if (!st) return 0;
    st.Bind(1, int(hive));
    st.Bind(2, k);
    st.Bind(3, name);
    st.Bind(4, int(type));
    st.BindBlob(5, data, size);
    if (st.Step() != SQLITE_DONE) return 0;
    return tx.Commit();
}

int CRegistry::SetString(RegHive hive, const std::string& key, const std::string& name, const std::string& text) {
    std::u16string w = Utf8ToUtf16(text);
    std::vector<uint8_t> bytes((w.size() + 1) * 2, 0);
    for (size_t i = 0; i < w.size(); ++i) put16(&bytes[2 * i], uint16_t(w[i]));
    return SetValue(hive, key, name, REG_SZ, bytes.data(), bytes.size());
}

int CRegistry::QueryValue(RegHive hive, const std::string& key, const std::string& name, RegValue& out) {
    std::lock_guard lock(mutex_);
    if (!Open()) return 0;
    Statement st(db_, "SELECT name, type, data FROM reg_values WHERE hive = ? AND key = ? AND name = ?");
    if (!st) return 0;
    st.Bind(1, int(hive));
    st.Bind(2, NormaliseKey(key));
    st.Bind(3, name);
    if (st.Step() != SQLITE_ROW) return 0;
    out.name = reinterpret_cast<const char*>(sqlite3_column_text(st.stmt, 0));
    out.type = uint32_t(sqlite3_column_int(st.stmt, 1));
    auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(st.stmt, 2));
    out.data.assign(p, p + sqlite3_column_bytes(st.stmt, 2));
    return 1;
}

int CRegistry::DeleteValue(RegHive hive, const std::string& key, const std::string& name) {
    std::lock_guard lock(mutex_);
    if (!Open()) return 0;
    Statement st(db_, "DELETE FROM reg_values WHERE hive = ? AND key = ? AND name = ?");
    if (!st) return 0;
    st.Bind(1, int(hive));
    st.Bind(2, NormaliseKey(key));
    st.Bind(3, name);
    return st.Step() == SQLITE_DONE && sqlite3_changes(db_) > 0 ? 1 : 0;
}

std::vector<RegValue> CRegistry::Values(RegHive hive, const std::string& key) {
    std::lock_guard lock(mutex_);
    std::vector<RegValue> values;
    if (!Open()) return values;
    Statement st(db_, "SELECT name, type, data FROM reg_values WHERE hive = ? AND key = ? ORDER BY rowid");
    if (!st) return values;
    st.Bind(1, int(hive));
    st.Bind(2, NormaliseKey(key));
    while (st.Step() == SQLITE_ROW) {
        RegValue v;
        v.name = reinterpret_cast<const char*>(sqlite3_column_text(st.stmt, 0));
        v.type = uint32_t(sqlite3_column_int(st.stmt, 1));
        auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(st.stmt, 2));
        v.data.assign(p, p + sqlite3_column_bytes(st.stmt, 2));
        values.push_back(std::move(v));
    }
    return values;
}

std::vector<std::string> CRegistry::SubKeys(RegHive hive, const std::string& key) {
    std::lock_guard lock(mutex_);
    std::vector<std::string> names;
    if (!Open()) return names;
    std::string k = NormaliseKey(key);
    Statement st(db_, "SELECT path FROM keys WHERE hive = ? ORDER BY rowid");
    if (!st) return names;
    st.Bind(1, int(hive));
    std::string prefix = k.empty() ? "" : ToLowerAscii(k) + "\\";
    while (st.Step() == SQLITE_ROW) {
        std::string path = reinterpret_cast<const char*>(sqlite3_column_text(st.stmt, 0));
        if (path.size() <= prefix.size() || ToLowerAscii(path.substr(0, prefix.size())) != prefix) continue;
        std::string rest = path.substr(prefix.size());
        if (rest.find('\\') == std::string::npos) names.push_back(rest);
    }
    return names;
}

CRegistry::Transaction::Transaction(CRegistry& registry) : registry_(registry) {
    registry_.mutex_.lock();
    if (registry_.Open() && registry_.transactionDepth_++ == 0) registry_.Exec("BEGIN IMMEDIATE");
}

CRegistry::Transaction::~Transaction() {
    if (!done_ && registry_.db_ && --registry_.transactionDepth_ == 0) registry_.Exec("ROLLBACK");
    registry_.mutex_.unlock();
}

int CRegistry::Transaction::Commit() {
    if (done_ || !registry_.db_) return 0;
    done_ = true;
    if (--registry_.transactionDepth_ == 0) return registry_.Exec("COMMIT") ? 1 : 0;
    return 1;
}

std::string RegValueText(const RegValue& value) { return Utf16LeToUtf8(value.data); }

}  // namespace vx
