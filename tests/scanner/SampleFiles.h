#pragma once
// Real files of the formats the scan must find, made by real encoders where
// one is installed (ImageMagick for the images, zip) and written out by their
// format's rules otherwise (WAV, AVI, PDF, and the compound documents).
#include <cstdint>
#include <string>
#include <vector>

#include "common/Bytes.h"
#include "tests/scanner/CompoundWriter.h"
#include "tests/support/TestSupport.h"

namespace vx::test {

struct SampleFile {
    std::string name;     // 8.3, as copied into the volume
    int32_t type;         // the format id the scan should give its start
};

// The ImageMagick program itself (a stand-in may come first on PATH).
inline std::string ImageMagick() { return "/usr/bin/convert"; }

inline std::string RiffChunk(const std::string& id, const std::string& body) {
    std::string out = id;
    out.resize(8);
    put32(reinterpret_cast<uint8_t*>(out.data()) + 4, uint32_t(body.size()));
    out += body;
    if (body.size() % 2) out += '\0';
    return out;
}

inline std::string Le32(uint32_t v) {
    std::string s(4, '\0');
    put32(reinterpret_cast<uint8_t*>(s.data()), v);
    return s;
}
inline std::string Le16(uint16_t v) {
    std::string s(2, '\0');
    put16(reinterpret_cast<uint8_t*>(s.data()), v);
    return s;
}

// 8 kHz mono 16-bit PCM, a rising tone.
inline std::string MakeWav(size_t samples) {
    std::string fmt = Le16(1) + Le16(1) + Le32(8000) + Le32(16000) + Le16(2) + Le16(16);
    std::string data;
    for (size_t i = 0; i < samples; ++i) data += Le16(uint16_t((i * 97) & 0xFFFF));
    return RiffChunk("RIFF", "WAVE" + RiffChunk("fmt ", fmt) + RiffChunk("data", data));
}

// An uncompressed AVI with one video stream of two 16x16 frames.
inline std::string MakeAvi() {
    const uint32_t w = 16, h = 16, frame = w * h * 3;
    std::string avih = Le32(40000) + Le32(0) + Le32(0) + Le32(0x10) + Le32(2) + Le32(0) + Le32(1) + Le32(frame) +
                       Le32(w) + Le32(h) + std::string(16, '\0');
    std::string strh = "vids" + std::string("DIB ") + Le32(0) + Le16(0) + Le16(0) + Le32(0) + Le32(1) + Le32(25) +
                       Le32(0) + Le32(2) + Le32(frame) + Le32(0xFFFFFFFF) + Le32(0) + std::string(8, '\0');
    std::string strf = Le32(40) + Le32(w) + Le32(h) + Le16(1) + Le16(24) + Le32(0) + Le32(frame) + std::string(16, '\0');
    std::string strl = "strl" + RiffChunk("strh", strh) + RiffChunk("strf", strf);
    std::string hdrl = "hdrl" + RiffChunk("avih", avih) + RiffChunk("LIST", strl);
    std::string movi = "movi" + RiffChunk("00db", std::string(frame, '\x40')) + RiffChunk("00db", std::string(frame, '\x80'));
    return RiffChunk("RIFF", "AVI " + RiffChunk("LIST", hdrl) + RiffChunk("LIST", movi));
}

// A one-page PDF with its cross-reference table.
inline std::string MakePdf() {
    std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 4 0 R >>",
        "<< /Length 20 >>\nstream\n0 0 m 100 50 l S\n\nendstream",
    };
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t o : offsets) {
        char line[32];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", o);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

// Writes every sample into `dir` and returns them; empty when a tool is missing.
inline std::vector<SampleFile> MakeSampleFiles(const std::string& dir) {
    const std::string im = ImageMagick();
    if (Run(im + " -version").status != 0 || !HaveTool("zip")) return {};
    MustRun(im + " -size 96x64 gradient:red-blue " + Quote(dir + "/PHOTO.JPG"));
    MustRun(im + " -size 80x40 plasma:fractal -seed 7 " + Quote(dir + "/PICTURE.PNG"));
    MustRun(im + " -size 40x40 xc:green -fill yellow -draw 'circle 20,20 10,10' " + Quote(dir + "/ANIM.GIF"));
    MustRun(im + " -size 50x30 xc:orange BMP3:" + Quote(dir + "/IMAGE.BMP"));
    WriteFile(dir + "/SOUND.WAV", MakeWav(3000));
    WriteFile(dir + "/MOVIE.AVI", MakeAvi());
    WriteFile(dir + "/PAPER.PDF", MakePdf());
    WriteFile(dir + "/NOTES.TXT", RandomBytes(5000, 3));
    MustRun("cd " + Quote(dir) + " && zip -q -X ARCHIVE.ZIP NOTES.TXT");
    WriteFile(dir + "/REPORT.DOC", BuildWordDocument(RandomBytes(6000, 4)));
    WriteFile(dir + "/TABLE.XLS", BuildExcelWorkbook(RandomBytes(5000, 5)));
    return {{"PHOTO.JPG", 83}, {"PICTURE.PNG", 88}, {"ANIM.GIF", 85},  {"IMAGE.BMP", 525},
            {"SOUND.WAV", 200}, {"MOVIE.AVI", 524}, {"PAPER.PDF", 47}, {"ARCHIVE.ZIP", 300},
            {"REPORT.DOC", 502}, {"TABLE.XLS", 501}};
}

}  // namespace vx::test
