#include "signatures/FileType.h"

#include <algorithm>
#include <cstring>

#include "common/Text.h"

namespace vx {

namespace fo = file_type_offset;

size_t ConditionWidth(uint32_t kind) {
    switch (kind) {
        case CondByte: return 1;
        case CondWord: return 2;
        case CondDword: return 4;
        case CondQword: return 8;
        case CondByteRange: return 1;
        case CondWordRange: return 2;
        default: return 0;
    }
}

uint16_t NaturalLength(uint32_t kind) {
    switch (kind) {
        case CondByte: return 1;
        case CondWord: return 2;
        case CondDword: return 4;
        case CondQword: return 8;
        case CondMasked:
        case CondMaskedBits: return 1024;
        default: return 0;
    }
}

namespace {

// Bytes of data a kind needs to be evaluated: the compared value, both range
// bounds, or the tested bytes.
size_t RequiredData(uint32_t kind, uint16_t length) {
    switch (kind) {
        case CondByte:
        case CondWord:
        case CondDword:
        case CondQword: return ConditionWidth(kind);
        case CondByteRange:
        case CondWordRange: return 2 * ConditionWidth(kind);
        case CondBytes:
        case CondFind:
        case CondFindNoCase: return length;
        default: return 0;
    }
}

// [position + offset, + width) lies inside the buffer; `start` receives its
// first index.
bool Window(ByteSpan buffer, size_t position, int64_t offset, size_t width, size_t& start) {
    int64_t s = int64_t(position) + offset;
    if (s < 0 || uint64_t(s) > buffer.size() || width > buffer.size() - size_t(s)) return false;
    start = size_t(s);
    return true;
}

bool FixedHolds(const SignatureCondition& c, ByteSpan buffer, size_t position) {
    const size_t width = ConditionWidth(c.kind);
    const uint8_t* d = c.data.data();
    for (size_t k = 0; k <= c.repeat; ++k) {
        size_t at;
        if (!Window(buffer, position, int64_t(c.offset) + int64_t(k), width, at)) return false;
        const uint8_t* p = buffer.data() + at;
        switch (c.kind) {
            case CondByteRange:
                if (p[0] < d[0] || p[0] > d[1]) return false;
                break;
            case CondWordRange: {
                uint16_t v = uint16_t(p[0] | (p[1] << 8));
                uint16_t lo = uint16_t(d[0] | (d[1] << 8)), hi = uint16_t(d[2] | (d[3] << 8));
                if (v < lo || v > hi) return false;
                break;
            }
            default:
                if (std::memcmp(p, d, width) != 0) return false;
        }
    }
    return true;
}

bool FindHolds(const SignatureCondition& c, ByteSpan buffer, size_t position, bool noCase) {
    const size_t len = c.length;
    for (size_t i = 0; i + len < 512; ++i) {
        size_t at;
        // Windows that leave the buffer are not tested; the others may still match.
        if (!Window(buffer, position, int64_t(c.offset) + int64_t(i), len, at)) continue;
        const uint8_t* p = buffer.data() + at;
        size_t j = 0;
        if (noCase) {
            while (j < len && (p[j] | 0x20) == (c.data[j] | 0x20)) ++j;
        } else {
            while (j < len && p[j] == c.data[j]) ++j;
        }
        if (j == len) return true;
    }
    return false;
}

bool MaskedHolds(const SignatureCondition& c, ByteSpan buffer, size_t position) {
    const size_t half = c.data.size() / 2;
    size_t at;
    if (!Window(buffer, position, c.offset, c.length, at)) return false;
    const uint8_t* p = buffer.data() + at;
    const uint8_t* pattern = c.data.data();
    const uint8_t* mask = pattern + half;
    for (size_t j = 0; j < c.length; ++j)
        if (mask[j] != 0 && p[j] != pattern[j]) return false;
    return true;
}

}  // namespace

SignatureCondition SignatureCondition::Make(uint32_t kind, std::vector<uint8_t> data, int32_t offset,
                                            uint16_t length, uint16_t repeat) {
    SignatureCondition c;
    c.kind = kind;
    c.offset = offset;
    c.repeat = repeat;
    c.length = length != 0 ? length : NaturalLength(kind);
    if (data.empty()) data.assign(c.length, 0);
    c.data = std::move(data);
    return c;
}

bool SignatureCondition::WellFormed() const {
    if (kind == CondMasked || kind == CondMaskedBits) return length <= data.size() / 2;
    return data.size() >= RequiredData(kind, length);
}

bool SignatureCondition::Holds(ByteSpan buffer, size_t position) const {
    if (!WellFormed()) return false;
    switch (kind) {
        case CondByte:
        case CondWord:
        case CondDword:
        case CondQword:
        case CondByteRange:
        case CondWordRange: return FixedHolds(*this, buffer, position);
        case CondBytes: {
            size_t at;
            return Window(buffer, position, offset, length, at) &&
                   std::memcmp(buffer.data() + at, data.data(), length) == 0;
        }
        case CondFind: return FindHolds(*this, buffer, position, false);
        case CondFindNoCase: return FindHolds(*this, buffer, position, true);
        case CondMasked: return MaskedHolds(*this, buffer, position);
        default: return true;  // CondMaskedBits and unknown kinds make no test
    }
}

size_t FileTypeSignature::StoredSize() const {
    size_t n = kSignatureHeaderSize;
    for (const SignatureCondition& c : conditions) n += c.StoredSize();
    return n;
}

bool FileTypeSignature::Matches(ByteSpan buffer, size_t position) const {
    for (const SignatureCondition& c : conditions)
        if (!c.Holds(buffer, position)) return false;
    return true;
}

FileType::FileType() {
    for (auto& w : words_) w.store(0, std::memory_order_relaxed);
    SetWord(fo::SearchFlag, 1);
    SetWord(fo::ListedFlag, 1);
    SetWord(fo::TypicalSize, 1024);
    SetWord(fo::Coincidence, 100);
    SetWord(fo::SearchOrder, 50);
}

std::unique_ptr<FileType> FileType::Create(int32_t id, int32_t groupId, std::string_view description,
                                           std::string_view prefix, std::string_view extensions) {
    auto t = std::make_unique<FileType>();
    t->SetId(id);
    t->SetGroupId(groupId);
    t->SetWord(fo::Reserved44, 50);
    t->SetDescription(description);
    t->SetNamePrefix(prefix);
    t->SetExtensions(extensions);
    return t;
}

size_t FileType::AddSignature(uint32_t kind, std::vector<uint8_t> data, int32_t offset, uint16_t length,
                              uint16_t repeat) {
    FileTypeSignature s;
    s.conditions.push_back(SignatureCondition::Make(kind, std::move(data), offset, length, repeat));
    signatures.push_back(std::move(s));
    return signatures.size() - 1;
}

void FileType::AddCondition(size_t index, uint32_t kind, std::vector<uint8_t> data, int32_t offset,
                            uint16_t length, uint16_t repeat) {
    if (index >= signatures.size()) return;
    signatures[index].conditions.push_back(SignatureCondition::Make(kind, std::move(data), offset, length, repeat));
}

uint32_t FileType::Word(size_t offset) const {
    return offset + 4 <= kFileTypeStoredSize ? words_[offset / 4].load(std::memory_order_relaxed) : 0;
}

void FileType::SetWord(size_t offset, uint32_t value) {
    if (offset + 4 <= kFileTypeStoredSize) words_[offset / 4].store(value, std::memory_order_relaxed);
}

std::string FileType::Text(size_t offset, size_t chars) const {
    uint8_t field[2 * file_type_chars::DescriptionUrl];
    size_t n = std::min(chars * 2, sizeof field);
    n = std::min(n, kFileTypeStoredSize - std::min(offset, kFileTypeStoredSize)) & ~size_t(3);
    for (size_t i = 0; i < n; i += 4) put32(field + i, Word(offset + i));
    return Utf16LeToUtf8(ByteSpan(field, n));
}

void FileType::SetText(size_t offset, size_t chars, std::string_view text) {
    std::vector<uint8_t> field(chars * 2);
    WriteUtf16Field(field.data(), chars, text);
    for (size_t i = 0; i + 4 <= field.size(); i += 4) SetWord(offset + i, le32(field, i));
}

std::string FileType::DisplayName() const {
    std::string title = Title();
    return title.empty() ? Description() : title;
}

std::array<uint8_t, kFileTypeStoredSize> FileType::StoredFields() const {
    std::array<uint8_t, kFileTypeStoredSize> out{};
    for (size_t i = 0; i < words_.size(); ++i) put32(&out[i * 4], words_[i].load(std::memory_order_relaxed));
    put32(&out[fo::SignatureCount], uint32_t(signatures.size()));
    return out;
}

void FileType::SetStoredFields(ByteSpan stored) {
    if (stored.size() < kFileTypeStoredSize) return;
    for (size_t i = 0; i < words_.size(); ++i)
        if (i * 4 != fo::SignatureCount) words_[i].store(le32(stored, i * 4), std::memory_order_relaxed);
}

size_t FileType::StoredSize() const {
    size_t n = kFileTypeStoredSize;
    for (const FileTypeSignature& s : signatures) n += s.StoredSize();
    return n;
}

std::vector<uint8_t> FileType::Serialize() const {
    std::vector<uint8_t> out(StoredSize());
    auto fields = StoredFields();
    std::memcpy(out.data(), fields.data(), fields.size());
    uint8_t* p = out.data() + kFileTypeStoredSize;
    for (const FileTypeSignature& s : signatures) {
        put32(p, s.reserved0);
        put32(p + 4, uint32_t(s.StoredSize()));
        put64(p + 8, s.reserved8);
        put32(p + 16, uint32_t(s.conditions.size()));
        p += kSignatureHeaderSize;
        for (const SignatureCondition& c : s.conditions) {
            put32(p, c.kind);
            put32(p + 4, uint32_t(c.StoredSize()));
            put32(p + 8, uint32_t(c.offset));
            put16(p + 12, c.repeat);
            put16(p + 14, c.length);
            std::memcpy(p + 16, c.reserved.data(), c.reserved.size());
            if (!c.data.empty()) std::memcpy(p + kConditionHeaderSize, c.data.data(), c.data.size());
            p += c.StoredSize();
        }
    }
    return out;
}

std::unique_ptr<FileType> FileType::Deserialize(ByteSpan stored) {
    if (stored.size() < kFileTypeStoredSize) return nullptr;
    auto t = std::make_unique<FileType>();
    t->SetStoredFields(stored);
    const uint32_t count = le32(stored, fo::SignatureCount);
    // Each signature takes at least its header, which bounds any count.
    if (count > (stored.size() - kFileTypeStoredSize) / kSignatureHeaderSize) return nullptr;
    size_t pos = kFileTypeStoredSize;
    t->signatures.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        if (!InRange(stored, pos, kSignatureHeaderSize)) return nullptr;
        const uint32_t size = le32(stored, pos + 4);
        if (size < kSignatureHeaderSize || !InRange(stored, pos, size)) return nullptr;
        FileTypeSignature s;
        s.reserved0 = le32(stored, pos);
        s.reserved8 = le64(stored, pos + 8);
        const uint32_t conditions = le32(stored, pos + 16);
        if (conditions > (size - kSignatureHeaderSize) / kConditionHeaderSize) return nullptr;
        const size_t end = pos + size;
        size_t cpos = pos + kSignatureHeaderSize;
        for (uint32_t k = 0; k < conditions; ++k) {
            if (end - cpos < kConditionHeaderSize) return nullptr;
            const uint32_t csize = le32(stored, cpos + 4);
            if (csize < kConditionHeaderSize || csize > end - cpos) return nullptr;
            SignatureCondition c;
            c.kind = le32(stored, cpos);
            c.offset = int32_t(le32(stored, cpos + 8));
            c.repeat = le16(stored, cpos + 12);
            c.length = le16(stored, cpos + 14);
            std::memcpy(c.reserved.data(), stored.data() + cpos + 16, c.reserved.size());
            c.data.assign(stored.begin() + cpos + kConditionHeaderSize, stored.begin() + cpos + csize);
            if (!c.WellFormed()) return nullptr;
            s.conditions.push_back(std::move(c));
            cpos += csize;
        }
        // The header's size is 20 plus the sizes of its conditions.
        if (cpos != end) return nullptr;
        t->signatures.push_back(std::move(s));
        pos = end;
    }
    return t;
}

bool FileType::Matches(ByteSpan buffer, size_t position) const {
    for (const FileTypeSignature& s : signatures)
        if (s.Matches(buffer, position)) return true;
    return false;
}

}  // namespace vx
