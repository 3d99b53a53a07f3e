#include "signatures/SignatureFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "common/Notifier.h"
#include "common/Strings.h"
#include "signatures/FileTypeDatabase.h"

namespace vx {

namespace {

std::string Unquoted(std::string path) {
    while (!path.empty() && path.front() == '"') path.erase(path.begin());
    while (!path.empty() && path.back() == '"') path.pop_back();
    return path;
}

enum class ReadResult { Ok, CannotOpen, Damaged };

// Reads the whole file, refusing anything longer than a signature file can be.
ReadResult ReadSignatureFile(const std::string& path, std::vector<uint8_t>& bytes) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return ReadResult::CannotOpen;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return ReadResult::CannotOpen;
    }
    if (st.st_size > off_t(kSignatureFileMaxSize)) {
        close(fd);
        return ReadResult::Damaged;
    }
    // One byte more than allowed shows a file that grew since fstat.
    bytes.resize(kSignatureFileMaxSize + 1);
    size_t got = 0;
    while (got < bytes.size()) {
        ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            return ReadResult::CannotOpen;
        }
        if (n == 0) break;
        got += size_t(n);
    }
    close(fd);
    if (got > kSignatureFileMaxSize) return ReadResult::Damaged;
    bytes.resize(got);
    return ReadResult::Ok;
}

}  // namespace

int WriteSignatureFile(const FileType& record, const std::string& path) {
    std::vector<uint8_t> stored = record.Serialize();
    if (stored.size() > kSignatureFileMaxSize) return 0;
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return 0;
    size_t done = 0;
    while (done < stored.size()) {
        ssize_t n = write(fd, stored.data() + done, stored.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += size_t(n);
    }
    bool ok = done == stored.size();
    if (close(fd) != 0) ok = false;
    return ok ? 1 : 0;
}

FileType* AddSignatureFile(const std::string& rawPath, FileTypeDatabase& db) {
    const std::string path = Unquoted(rawPath);
    std::vector<uint8_t> bytes;
    ReadResult read = ReadSignatureFile(path, bytes);
    if (read == ReadResult::CannotOpen) {
        Notifier().ShowError("Error!", Format("Signature file '%s' can't open!", path.c_str()));
        return nullptr;
    }
    std::unique_ptr<FileType> record = read == ReadResult::Ok ? FileType::Deserialize(bytes) : nullptr;
    if (!record) {
        Notifier().ShowError("Error!", Format("Signature file '%s' is damaged!", path.c_str()));
        return nullptr;
    }
    db.EnsureLoaded();
    FileType* result = db.FindTypeById(record->Id());
    if (result) {
        // The format keeps its place in the list and its own signatures.
        auto fields = record->StoredFields();
        result->SetStoredFields(fields);
        Notifier().ShowMessage("ok", Format("Signature file '%s' updated!", path.c_str()));
    } else {
        result = db.AddType(std::move(record));
        Notifier().ShowMessage("ok", Format("Signature file '%s' added!", path.c_str()));
    }
    db.SaveDatabase();
    return result;
}

FileType* AddSignatureFile(const std::string& path) { return AddSignatureFile(path, FileTypes()); }

}  // namespace vx
