#pragma once
// Small pieces the benchmark programs share.
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

// Writes `bytes` of xorshift pseudo-random data (incompressible, no file
// signatures to speak of) to `path`.
inline bool WritePseudoRandomFile(const std::string& path, uint64_t bytes, uint64_t seed) {
    FILE* f = std::fopen(path.c_str(), "wb");
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
