#pragma once
// Small pieces the benchmark programs share.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace vx::bench {

inline double Seconds(const std::chrono::steady_clock::time_point& since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Benchmarks write only what they make in this run: a new file at a path
// that did not exist, or anything inside a folder of their own.

// Opens a new file for writing; null (and a line on stderr) when the path
// exists already.
inline FILE* CreateNewFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::perror(path.c_str());
        return nullptr;
    }
    std::fprintf(stderr, "making %s\n", path.c_str());
    return ::fdopen(fd, "wb");
}

// A new folder "PARENT/NAME-XXXXXX" of this run; empty when it cannot be made.
inline std::string MakeWorkDir(const std::string& parent, const std::string& name) {
    std::string pattern = parent + "/" + name + "-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::perror(pattern.c_str());
        return {};
    }
    std::fprintf(stderr, "working in %s (removed at the end)\n", pattern.c_str());
    return pattern;
}

// Writes `bytes` of xorshift pseudo-random data (incompressible, no file
// signatures to speak of) to `path`, which must not exist yet.
inline bool WritePseudoRandomFile(const std::string& path, uint64_t bytes, uint64_t seed) {
    FILE* f = CreateNewFile(path);
    if (!f) return false;
    std::vector<uint64_t> block(1 << 18);  // 2 MiB of words
    uint64_t x = seed;
    for (uint64_t done = 0; done < bytes; done += block.size() * 8) {
        for (uint64_t& w : block) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            w = x;
        }
        std::fwrite(block.data(), 1, std::min<uint64_t>(bytes - done, block.size() * 8), f);
    }
    return std::fclose(f) == 0;
}

inline int Shell(const std::string& command) { return std::system(command.c_str()); }

}  // namespace vx::bench
