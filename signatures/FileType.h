#pragma once
// FileType: one known file format with its content signatures. Its first
// 1956 bytes are its stored form (the registry value and the signature file
// carry exactly these bytes, then the signatures); the rest exists only in
// memory. The stored fields are kept as atomic 32-bit words so that a worker
// thread may read a record while the user-interface thread edits a flag.
//
// A FileTypeSignature is a list of SignatureConditions that must all hold; a
// format matches at a position when any one of its signatures matches.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/Bytes.h"

namespace vx {

inline constexpr size_t kFileTypeStoredSize = 1956;
inline constexpr size_t kSignatureHeaderSize = 20;
inline constexpr size_t kConditionHeaderSize = 32;

// Byte offsets of the stored fields, and the sizes of the text fields in
// UTF-16 characters.
namespace file_type_offset {
inline constexpr size_t Id = 0;
inline constexpr size_t GroupId = 4;
inline constexpr size_t SearchFlag = 8;
inline constexpr size_t FilterFlag = 12;
inline constexpr size_t ListedFlag = 16;
inline constexpr size_t GroupFlag = 20;
inline constexpr size_t TypicalSize = 36;   // KB, signed
inline constexpr size_t Coincidence = 40;   // percent
inline constexpr size_t Reserved44 = 44;    // 50 in records made by the builders
inline constexpr size_t SearchOrder = 48;
inline constexpr size_t Title = 152;
inline constexpr size_t Description = 352;
inline constexpr size_t Extensions = 872;
inline constexpr size_t NamePrefix = 1072;
inline constexpr size_t DescriptionUrl = 1132;
inline constexpr size_t SignatureCount = 1952;
}  // namespace file_type_offset

namespace file_type_chars {
inline constexpr size_t Title = 100;
inline constexpr size_t Description = 260;
inline constexpr size_t Extensions = 100;
inline constexpr size_t NamePrefix = 30;
inline constexpr size_t DescriptionUrl = 410;
}  // namespace file_type_chars

// Condition kinds (the stored kind values).
enum ConditionKind : uint32_t {
    CondByte = 0x1,
    CondWord = 0x2,
    CondDword = 0x4,
    CondQword = 0x8,
    CondByteRange = 0x10,
    CondWordRange = 0x20,
    CondBytes = 0x100,
    CondFind = 0x1000,
    CondFindNoCase = 0x2000,
    CondMasked = 0x10000,
    CondMaskedBits = 0x20000,
};

// Width in bytes of one tested value of the fixed-size and range kinds; 0 for
// the other kinds.
size_t ConditionWidth(uint32_t kind);
// The length a condition of this kind gets when created with length 0.
uint16_t NaturalLength(uint32_t kind);

struct SignatureCondition {
    uint32_t kind = 0;
    int32_t offset = 0;    // from the candidate position, signed
    uint16_t repeat = 0;   // further positions tested, one byte apart
    uint16_t length = 0;   // bytes tested (bytes, find and masked kinds)
    std::array<uint8_t, 16> reserved{};
    std::vector<uint8_t> data;

    // Creates a condition as the builders do: length 0 becomes the kind's
    // natural length; empty data becomes a zero-filled area of that length.
    static SignatureCondition Make(uint32_t kind, std::vector<uint8_t> data, int32_t offset, uint16_t length = 0,
                                   uint16_t repeat = 0);

    size_t StoredSize() const { return kConditionHeaderSize + data.size(); }
    // Whether the condition holds at buffer[position]. A condition that would
    // read outside the buffer, or whose length does not fit its own data
    // area, does not hold.
    bool Holds(ByteSpan buffer, size_t position) const;
    // False when the condition's length or data area cannot be evaluated as
    // its kind requires (a damaged stored form).
    bool WellFormed() const;

    bool operator==(const SignatureCondition&) const = default;
};

struct FileTypeSignature {
    uint32_t reserved0 = 0;
    uint64_t reserved8 = 0;
    std::vector<SignatureCondition> conditions;

    size_t StoredSize() const;
    bool Matches(ByteSpan buffer, size_t position) const;

    bool operator==(const FileTypeSignature&) const = default;
};

class FileType {
public:
    // A new record: search flag 1, listed 1, typical size 1024 KB,
    // coincidence 100, search order 50, everything else 0 or empty.
    FileType();
    FileType(const FileType&) = delete;
    FileType& operator=(const FileType&) = delete;

    // The building block of the built-in table and the editors: a new record
    // with these fields (reserved field at 44 set to 50 as the builders do).
    static std::unique_ptr<FileType> Create(int32_t id, int32_t groupId, std::string_view description,
                                            std::string_view prefix, std::string_view extensions);
    // Adds a signature made of one condition; returns its index.
    size_t AddSignature(uint32_t kind, std::vector<uint8_t> data, int32_t offset, uint16_t length = 0,
                        uint16_t repeat = 0);
    // Adds a further condition to signature `index`.
    void AddCondition(size_t index, uint32_t kind, std::vector<uint8_t> data, int32_t offset, uint16_t length = 0,
                      uint16_t repeat = 0);

    // Stored fields.
    uint32_t Word(size_t offset) const;
    void SetWord(size_t offset, uint32_t value);
    int32_t Id() const { return int32_t(Word(file_type_offset::Id)); }
    void SetId(int32_t id) { SetWord(file_type_offset::Id, uint32_t(id)); }
    int32_t GroupId() const { return int32_t(Word(file_type_offset::GroupId)); }
    void SetGroupId(int32_t id) { SetWord(file_type_offset::GroupId, uint32_t(id)); }
    bool SearchFlag() const { return Word(file_type_offset::SearchFlag) != 0; }
    void SetSearchFlag(bool on) { SetWord(file_type_offset::SearchFlag, on ? 1 : 0); }
    bool FilterFlag() const { return Word(file_type_offset::FilterFlag) != 0; }
    void SetFilterFlag(bool on) { SetWord(file_type_offset::FilterFlag, on ? 1 : 0); }
    bool Listed() const { return Word(file_type_offset::ListedFlag) != 0; }
    void SetListed(bool on) { SetWord(file_type_offset::ListedFlag, on ? 1 : 0); }
    bool IsGroup() const { return Word(file_type_offset::GroupFlag) != 0; }
    int32_t TypicalSizeKb() const { return int32_t(Word(file_type_offset::TypicalSize)); }
    void SetTypicalSizeKb(int32_t kb) { SetWord(file_type_offset::TypicalSize, uint32_t(kb)); }
    uint32_t Coincidence() const { return Word(file_type_offset::Coincidence); }
    void SetCoincidence(uint32_t percent) { SetWord(file_type_offset::Coincidence, percent); }
    uint32_t SearchOrder() const { return Word(file_type_offset::SearchOrder); }
    void SetSearchOrder(uint32_t order) { SetWord(file_type_offset::SearchOrder, order); }

    std::string Text(size_t offset, size_t chars) const;
    void SetText(size_t offset, size_t chars, std::string_view text);
    std::string Title() const { return Text(file_type_offset::Title, file_type_chars::Title); }
    void SetTitle(std::string_view t) { SetText(file_type_offset::Title, file_type_chars::Title, t); }
    std::string Description() const { return Text(file_type_offset::Description, file_type_chars::Description); }
    void SetDescription(std::string_view t) {
        SetText(file_type_offset::Description, file_type_chars::Description, t);
    }
    std::string Extensions() const { return Text(file_type_offset::Extensions, file_type_chars::Extensions); }
    void SetExtensions(std::string_view t) { SetText(file_type_offset::Extensions, file_type_chars::Extensions, t); }
    std::string NamePrefix() const { return Text(file_type_offset::NamePrefix, file_type_chars::NamePrefix); }
    void SetNamePrefix(std::string_view t) { SetText(file_type_offset::NamePrefix, file_type_chars::NamePrefix, t); }
    std::string DescriptionUrl() const {
        return Text(file_type_offset::DescriptionUrl, file_type_chars::DescriptionUrl);
    }
    void SetDescriptionUrl(std::string_view t) {
        SetText(file_type_offset::DescriptionUrl, file_type_chars::DescriptionUrl, t);
    }
    // The title when set, else the description (what trees show).
    std::string DisplayName() const;

    // The 1956 stored bytes; the signature count is that of this record's own
    // signature list.
    std::array<uint8_t, kFileTypeStoredSize> StoredFields() const;
    // Replaces the stored fields from a stored form (at least 1956 bytes);
    // the signatures and their count stay this record's own.
    void SetStoredFields(ByteSpan stored);

    // The stored form: the 1956 bytes, then every signature in order.
    size_t StoredSize() const;
    std::vector<uint8_t> Serialize() const;
    // Builds a record from a stored form. Null when the form is damaged: shorter
    // than its own counts say, a signature or condition whose size is too
    // small or overruns its container, or a condition whose length does not
    // fit its data area. Bytes after the last signature are ignored.
    static std::unique_ptr<FileType> Deserialize(ByteSpan stored);

    // 1 when any signature matches at buffer[position]; a record without
    // signatures never matches. Allocates nothing and writes nothing.
    bool Matches(ByteSpan buffer, size_t position) const;

    // Owned signatures. Changed only on the user-interface thread while no
    // scan runs; the scanner works on the fast matcher's own copy.
    std::vector<FileTypeSignature> signatures;

    // The per-type size rule of the recovery's probable-size dialog ("All
    // files of this type"), 0 for none. Memory only.
    int32_t SizeRule() const { return sizeRule_.load(std::memory_order_relaxed); }
    void SetSizeRule(int32_t rule) { sizeRule_.store(rule, std::memory_order_relaxed); }

private:
    std::array<std::atomic<uint32_t>, kFileTypeStoredSize / 4> words_;
    std::atomic<int32_t> sizeRule_{0};
};

// Matching a record at a position, as the database names it.
inline bool Matches(const FileType& type, ByteSpan buffer, size_t position) { return type.Matches(buffer, position); }

}  // namespace vx
