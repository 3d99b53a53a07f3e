// Writes the seeds no command-line tool makes and frames the images the
// others make (scripts/make-fuzz-seeds runs it):
//   frame IN OUT SHIFT   trailing zero sectors dropped, the 4-byte frame
//                        (FuzzSupport.h) put in front, claiming 2^SHIFT bytes
//   mft IMAGE DIR        the first MFT records of an NTFS image, one a file
//   compound DIR         compound documents of several kinds and sector sizes
//   types DIR            the stored form of every built-in file type
//   lznt1 DIR            LZNT1 streams: stored, literal and back-referencing chunks
//   sized OUT FILE       a size-rule seed: the format id the file's first bytes
//                        match (one with a rule), the reach byte, the file
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/Bytes.h"
#include "signatures/FastMatcher.h"
#include "signatures/FileType.h"
#include "signatures/sizes/SizeRule.h"
#include "signatures/FileTypeDatabase.h"
#include "tests/scanner/CompoundWriter.h"

using namespace vx;

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Write(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out);
}

int Frame(const std::string& in, const std::string& out, int shift) {
    std::string image = Slurp(in);
    size_t end = image.size();
    while (end >= 512 && image.find_first_not_of('\0', end - 512) == std::string::npos) {
        image.resize(end - 512);
        end -= 512;
    }
    const std::string frame = {'\0', char(shift), '\0', '\0'};
    return Write(out, frame + image) ? 0 : 1;
}

int Mft(const std::string& imagePath, const std::string& dir) {
    const std::string image = Slurp(imagePath);
    int n = 0;
    for (size_t p = 0; p + 1024 <= image.size() && n < 48; p += 1024)
        if (image.compare(p, 4, "FILE") == 0) Write(dir + "/record" + std::to_string(n++), image.substr(p, 1024));
    return n ? 0 : 1;
}

int Compound(const std::string& dir) {
    Write(dir + "/word.doc", test::BuildWordDocument(std::string(5000, 'w')));
    Write(dir + "/excel.xls", test::BuildExcelWorkbook(std::string(300, 'x')));
    Write(dir + "/ppt4k.ppt", test::BuildCompoundFile({{"PowerPoint Document", "p"}, {"Pictures", "q"}}, {12}));
    Write(dir + "/visio.vsd", test::BuildCompoundFile({{"VisioDocument", "v"}}));
    return 0;
}

int Types(const std::string& dir) {
    for (const std::unique_ptr<FileType>& t : BuildBuiltinTypes()) {
        const std::vector<uint8_t> stored = t->Serialize();
        Write(dir + "/type" + std::to_string(t->Id()), std::string(stored.begin(), stored.end()));
    }
    return 0;
}

int Lznt1(const std::string& dir) {
    auto header = [](size_t stored, bool compressed) {
        const uint16_t h = uint16_t((compressed ? 0xB000 : 0x3000) | ((stored - 3) & 0x0FFF));
        return std::string{char(h & 0xFF), char(h >> 8)};
    };
    const std::string size = {char(0x00), char(0x20)};  // 8 KiB of output
    std::string raw(4096, 'r');
    Write(dir + "/stored", size + header(4096 + 2, false) + raw);
    // Literals only: flag byte 0 and eight literal bytes.
    std::string body;
    for (int g = 0; g < 4; ++g) body += std::string(1, '\0') + "literal" + char('0' + g);
    Write(dir + "/literals", size + header(body.size() + 2, true) + body);
    // "ABCD" then a back reference of offset 4, length 12 (position 4: 12-bit offset field).
    const uint16_t token = uint16_t(((4 - 1) << 12) | (12 - 3));
    std::string refs = std::string(1, char(0x10)) + "ABCD" + char(token & 0xFF) + char(token >> 8);
    Write(dir + "/backref", size + header(refs.size() + 2, true) + refs + header(4096 + 2, false) + raw);
    return 0;
}

int Sized(const std::string& out, const std::string& file) {
    const std::string bytes = Slurp(file);
    std::vector<std::shared_ptr<FileType>> types;
    for (std::unique_ptr<FileType>& t : BuildBuiltinTypes()) types.push_back(std::move(t));
    const FastMatcher matcher(types);
    std::vector<int32_t> ids;
    matcher.MatchAt(ByteSpan(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0, ids);
    for (int32_t id : ids) {
        if (!FindSizeRule(id).rule) continue;
        std::string head(5, '\0');
        put32(reinterpret_cast<uint8_t*>(head.data()), uint32_t(id));
        return Write(out, head + bytes) ? 0 : 1;
    }
    std::fprintf(stderr, "%s: no format with a size rule matches\n", file.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> a(argv + 1, argv + argc);
    if (a.size() == 4 && a[0] == "frame") return Frame(a[1], a[2], std::stoi(a[3]));
    if (a.size() == 3 && a[0] == "mft") return Mft(a[1], a[2]);
    if (a.size() == 2 && a[0] == "compound") return Compound(a[1]);
    if (a.size() == 2 && a[0] == "types") return Types(a[1]);
    if (a.size() == 2 && a[0] == "lznt1") return Lznt1(a[1]);
    if (a.size() == 3 && a[0] == "sized") return Sized(a[1], a[2]);
    std::fprintf(stderr, "usage: fuzz_seed_tool frame IN OUT SHIFT | mft IMAGE DIR | compound DIR | types DIR | lznt1 DIR\n");
    return 2;
}
