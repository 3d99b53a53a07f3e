#include "platform/MediaHash.h"

#include <openssl/evp.h>

#include <memory>
#include <vector>

namespace vx {

std::string MediaHash(ISectorReader& reader, const std::string& algorithm, const std::atomic<bool>* running) {
    const EVP_MD* md = algorithm == "MD5" ? EVP_md5() : algorithm == "SHA1" ? EVP_sha1() : nullptr;
    if (!md) return {};
    std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!ctx || EVP_DigestInit_ex(ctx.get(), md, nullptr) != 1) return {};
    std::vector<uint8_t> piece(4u << 20);
    const uint64_t size = reader.Size();
    for (uint64_t at = 0; at < size;) {
        if (running && !running->load()) return {};
        const int64_t got = reader.ReadAt(piece.data(), size_t(std::min<uint64_t>(piece.size(), size - at)), at);
        if (got <= 0) return {};
        EVP_DigestUpdate(ctx.get(), piece.data(), size_t(got));
        at += uint64_t(got);
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(ctx.get(), digest, &length) != 1) return {};
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

}  // namespace vx
