#pragma once
// Signature files (".filesig"): the stored form of exactly one file type with
// its signatures, nothing before or after it. The signature wizard writes
// them; opening one ("/addsig PATH") adds its format to the database or
// updates the format with the same id, and saves the database.
#include <cstddef>
#include <string>

namespace vx {

class FileType;
class FileTypeDatabase;

// Files longer than this are not signature files (the reader's buffer). The
// writer keeps to the same limit, so every file it writes can be added back.
inline constexpr size_t kSignatureFileMaxSize = 16383;

// Writes the record's stored form to `path`, replacing any file there.
// 1 on success; 0 when the file cannot be created or written, or when the
// stored form is longer than kSignatureFileMaxSize.
[[nodiscard]] int WriteSignatureFile(const FileType& record, const std::string& path);

// Imports a signature file into `db` (loading it first when it has not been
// loaded) and saves the database. Double quotes around the path are removed.
// Tells the user through the notifier: "Signature file '%s' added!" or
// "... updated!" (caption "ok"), or "... can't open!" / "... is damaged!"
// (caption "Error!"), in which case nothing changes. Returns the added or
// updated record, or null.
FileType* AddSignatureFile(const std::string& path, FileTypeDatabase& db);
FileType* AddSignatureFile(const std::string& path);

}  // namespace vx
