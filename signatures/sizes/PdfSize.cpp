// PDF: the document ends at its last "%%EOF" marker. After each marker the
// bytes that follow decide: another revision (an incremental update, or the
// rest of a linearised file) goes on to the next marker; anything else ends
// the document after the marker's line end.
#include "signatures/sizes/SizeRule.h"

namespace vx {

namespace {
bool IsSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }
bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

// The bytes at `at` (after blanks) continue the document.
bool RevisionFollows(BoundedReader& r, uint64_t at) {
    ByteSpan v = r.View(at, 256);
    size_t i = 0;
    while (i < v.size() && IsSpace(v[i])) ++i;
    const std::string_view rest(reinterpret_cast<const char*>(v.data()) + i, v.size() - i);
    if (rest.starts_with("xref") || rest.starts_with("trailer") || rest.starts_with("startxref")) return true;
    // "12 0 obj"
    size_t k = 0;
    while (k < rest.size() && IsDigit(uint8_t(rest[k]))) ++k;
    if (k == 0 || k >= rest.size() || rest[k] != ' ') return false;
    ++k;
    const size_t generation = k;
    while (k < rest.size() && IsDigit(uint8_t(rest[k]))) ++k;
    if (k == generation) return false;
    while (k < rest.size() && IsSpace(uint8_t(rest[k]))) ++k;
    return rest.substr(k).starts_with("obj");
}
}  // namespace

StructuralSize PdfSize(BoundedReader& r) {
    if (!r.Equals(0, "%PDF-")) return StructuralSize::Reject();
    uint64_t from = 5;
    for (;;) {
        const uint64_t hit = r.Find(from, r.Limit(), "%%EOF");
        if (hit == BoundedReader::kNotFound) return {};
        uint64_t end = hit + 5;
        uint8_t c = 0;
        if (r.U8(end, c) && c == '\r') {
            ++end;
            if (r.U8(end, c) && c == '\n') ++end;
        } else if (c == '\n') {
            ++end;
        }
        if (!RevisionFollows(r, end)) return StructuralSize::Sized(end);
        from = end;
    }
}

}  // namespace vx
