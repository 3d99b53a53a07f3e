#include "platform/ImageContainers.h"

#include <libewf.h>
#include <libqcow.h>
#include <libvhdi.h>
#include <libvmdk.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

namespace vx {

namespace {

// The libraries' handles are not safe for concurrent use: one read at a time.
template <class Ops>
class CLibraryReader final : public ISectorReader {
public:
    CLibraryReader(typename Ops::Handle* handle, uint64_t size, const char* kind, std::string hash)
        : handle_(handle), size_(size), kind_(kind), hash_(std::move(hash)) {}
    ~CLibraryReader() override { Ops::Close(handle_); }

    int64_t ReadAt(void* buffer, size_t length, uint64_t position, int* error) override {
        if (position >= size_) return 0;
        if (length > size_ - position) length = size_t(size_ - position);
        std::lock_guard lock(mutex_);
        size_t done = 0;
        while (done < length) {
            const ssize_t n = Ops::Read(handle_, static_cast<uint8_t*>(buffer) + done, length - done, position + done);
            if (n < 0) {
                if (error) *error = EIO;
                return -1;
            }
            if (n == 0) break;
            done += size_t(n);
        }
        return int64_t(done);
    }
    uint64_t Size() const override { return size_; }
    const char* ContainerKind() const override { return kind_; }
    std::string StoredHash() const override { return hash_; }

private:
    typename Ops::Handle* handle_;
    uint64_t size_;
    const char* kind_;
    std::string hash_;
    std::mutex mutex_;
};

struct EwfOps {
    using Handle = libewf_handle_t;
    static Handle* Open(const std::string& path) {
        char** names = nullptr;
        int count = 0;
        if (libewf_glob(path.c_str(), path.size(), LIBEWF_FORMAT_UNKNOWN, &names, &count, nullptr) != 1) return nullptr;
        Handle* h = nullptr;
        bool ok = libewf_handle_initialize(&h, nullptr) == 1 &&
                  libewf_handle_open(h, names, count, LIBEWF_OPEN_READ, nullptr) == 1;
        libewf_glob_free(names, count, nullptr);
        if (!ok && h) libewf_handle_free(&h, nullptr);
        return ok ? h : nullptr;
    }
    static bool MediaSize(Handle* h, uint64_t& size) {
        size64_t s = 0;
        if (libewf_handle_get_media_size(h, &s, nullptr) != 1) return false;
        size = s;
        return true;
    }
    static ssize_t Read(Handle* h, uint8_t* out, size_t n, uint64_t at) {
        return libewf_handle_read_random(h, out, n, off64_t(at), nullptr);
    }
    static void Close(Handle* h) {
        libewf_handle_close(h, nullptr);
        libewf_handle_free(&h, nullptr);
    }
    static std::string Hash(Handle* h) {
        uint8_t text[128] = {};
        for (const char* name : {"MD5", "SHA1"}) {
            if (libewf_handle_get_utf8_hash_value(h, reinterpret_cast<const uint8_t*>(name), std::strlen(name), text,
                                                  sizeof text, nullptr) == 1)
                return std::string(name) + " " + reinterpret_cast<const char*>(text);
        }
        return {};
    }
};

struct VhdiOps {
    using Handle = libvhdi_file_t;
    static Handle* Open(const std::string& path) {
        Handle* h = nullptr;
        if (libvhdi_file_initialize(&h, nullptr) != 1) return nullptr;
        if (libvhdi_file_open(h, path.c_str(), LIBVHDI_OPEN_READ, nullptr) != 1) {
            libvhdi_file_free(&h, nullptr);
            return nullptr;
        }
        return h;
    }
    static bool MediaSize(Handle* h, uint64_t& size) {
        size64_t s = 0;
        if (libvhdi_file_get_media_size(h, &s, nullptr) != 1) return false;
        size = s;
        return true;
    }
    static ssize_t Read(Handle* h, uint8_t* out, size_t n, uint64_t at) {
        return libvhdi_file_read_buffer_at_offset(h, out, n, off64_t(at), nullptr);
    }
    static void Close(Handle* h) {
        libvhdi_file_close(h, nullptr);
        libvhdi_file_free(&h, nullptr);
    }
    static std::string Hash(Handle*) { return {}; }
};

struct VmdkOps {
    using Handle = libvmdk_handle_t;
    static Handle* Open(const std::string& path) {
        Handle* h = nullptr;
        if (libvmdk_handle_initialize(&h, nullptr) != 1) return nullptr;
        if (libvmdk_handle_open(h, path.c_str(), LIBVMDK_OPEN_READ, nullptr) != 1 ||
            libvmdk_handle_open_extent_data_files(h, nullptr) != 1) {
            libvmdk_handle_free(&h, nullptr);
            return nullptr;
        }
        return h;
    }
    static bool MediaSize(Handle* h, uint64_t& size) {
        size64_t s = 0;
        if (libvmdk_handle_get_media_size(h, &s, nullptr) != 1) return false;
        size = s;
        return true;
    }
    static ssize_t Read(Handle* h, uint8_t* out, size_t n, uint64_t at) {
        return libvmdk_handle_read_buffer_at_offset(h, out, n, off64_t(at), nullptr);
    }
    static void Close(Handle* h) {
        libvmdk_handle_close(h, nullptr);
        libvmdk_handle_free(&h, nullptr);
    }
    static std::string Hash(Handle*) { return {}; }
};

struct QcowOps {
    using Handle = libqcow_file_t;
    static Handle* Open(const std::string& path) {
        Handle* h = nullptr;
        if (libqcow_file_initialize(&h, nullptr) != 1) return nullptr;
        if (libqcow_file_open(h, path.c_str(), LIBQCOW_OPEN_READ, nullptr) != 1) {
            libqcow_file_free(&h, nullptr);
            return nullptr;
        }
        return h;
    }
    static bool MediaSize(Handle* h, uint64_t& size) {
        size64_t s = 0;
        if (libqcow_file_get_media_size(h, &s, nullptr) != 1) return false;
        size = s;
        return true;
    }
    static ssize_t Read(Handle* h, uint8_t* out, size_t n, uint64_t at) {
        return libqcow_file_read_buffer_at_offset(h, out, n, off64_t(at), nullptr);
    }
    static void Close(Handle* h) {
        libqcow_file_close(h, nullptr);
        libqcow_file_free(&h, nullptr);
    }
    static std::string Hash(Handle*) { return {}; }
};

template <class Ops>
std::unique_ptr<ISectorReader> OpenWith(const std::string& path, const char* kind, std::string* error) {
    typename Ops::Handle* h = Ops::Open(path);
    uint64_t size = 0;
    if (!h || !Ops::MediaSize(h, size)) {
        if (h) Ops::Close(h);
        if (error) *error = std::string("cannot open the ") + kind + " container";
        return nullptr;
    }
    return std::make_unique<CLibraryReader<Ops>>(h, size, kind, Ops::Hash(h));
}

// NAME.001, NAME.002, ...: the parts of one raw image, in order.
class CSplitRawReader final : public ISectorReader {
public:
    struct Part {
        std::unique_ptr<ISectorReader> reader;
        uint64_t start;
        uint64_t size;
    };
    explicit CSplitRawReader(std::vector<Part> parts) : parts_(std::move(parts)) {
        for (const Part& p : parts_) size_ += p.size;
    }
    int64_t ReadAt(void* buffer, size_t length, uint64_t position, int* error) override {
        size_t done = 0;
        for (const Part& p : parts_) {
            if (done == length) break;
            const uint64_t at = position + done;
            if (at < p.start || at >= p.start + p.size) continue;
            const size_t want = size_t(std::min<uint64_t>(length - done, p.start + p.size - at));
            const int64_t got = p.reader->ReadAt(static_cast<uint8_t*>(buffer) + done, want, at - p.start, error);
            if (got < 0) return -1;
            done += size_t(got);
            if (size_t(got) < want) break;
        }
        return int64_t(done);
    }
    uint64_t Size() const override { return size_; }
    const char* ContainerKind() const override { return "split raw"; }

private:
    std::vector<Part> parts_;
    uint64_t size_ = 0;
};

std::unique_ptr<ISectorReader> OpenSplitRaw(const std::string& path, std::string* error) {
    if (path.size() < 5 || path.compare(path.size() - 4, 4, ".001") != 0) return nullptr;
    const std::string stem = path.substr(0, path.size() - 3);
    std::vector<CSplitRawReader::Part> parts;
    uint64_t start = 0;
    for (int n = 1; n <= 999; ++n) {
        char suffix[8];
        std::snprintf(suffix, sizeof suffix, "%03d", n);
        struct stat st{};
        if (::stat((stem + suffix).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) break;
        std::unique_ptr<ISectorReader> reader = OpenPosixSectorReader(stem + suffix, error);
        if (!reader) return nullptr;
        const uint64_t size = reader->Size();
        parts.push_back({std::move(reader), start, size});
        start += size;
    }
    if (parts.size() < 2) return nullptr;  // one part is a plain raw image
    return std::make_unique<CSplitRawReader>(std::move(parts));
}

bool StartsWith(const std::string& path, const char* magic, size_t length) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char head[16] = {};
    const size_t got = std::fread(head, 1, length, f);
    std::fclose(f);
    return got == length && std::memcmp(head, magic, length) == 0;
}

}  // namespace

std::unique_ptr<ISectorReader> OpenContainerSectorReader(const std::string& path, std::string* error) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
    if (libewf_check_file_signature(path.c_str(), nullptr) == 1) return OpenWith<EwfOps>(path, "E01", error);
    if (libvhdi_check_file_signature(path.c_str(), nullptr) == 1)
        return OpenWith<VhdiOps>(path, StartsWith(path, "vhdxfile", 8) ? "VHDX" : "VHD", error);
    if (libvmdk_check_file_signature(path.c_str(), nullptr) == 1) return OpenWith<VmdkOps>(path, "VMDK", error);
    if (libqcow_check_file_signature(path.c_str(), nullptr) == 1) return OpenWith<QcowOps>(path, "QCOW2", error);
    return OpenSplitRaw(path, error);
}

}  // namespace vx
