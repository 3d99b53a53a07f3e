// One MFT record on its own: the update sequence, the attribute walk, the
// data attribute with its runs, the attribute list, the names and the data
// read; and the mapping-pairs decoder over the same bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fs/MftRecord.h"
#include "fuzz/support/FuzzSupport.h"

using namespace vx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ByteSpan input(data, size);
    CMftRecord record(nullptr, input);
    if (record.Parse()) {
        size_t walked = 0;
        for (auto a = record.NextAttribute(0, 0); a && walked < 4096; a = record.NextAttribute(*a, 0), ++walked)
            fuzz::Require(*a < record.Image().size(), "an attribute lies outside its record");
        record.LoadAttributeList();
        FoundObject object;
        std::string name;
        if (record.FillObject(object, name)) fuzz::Require(fuzz::ValidUtf8(name), "a name is not valid UTF-8");
        if (record.HasData()) {
            std::vector<uint8_t> out(65536);
            const uint32_t got = record.ReadData(0, int64_t(out.size()), out.data());
            fuzz::Require(got <= out.size(), "a data read delivered more than asked");
        }
        uint64_t last = 0;
        for (const DataRun& run : record.Runs()) {
            fuzz::Require(run.lastVcn - run.firstVcn + 1 == run.length, "a run's extent does not match its length");
            fuzz::Require(run.firstVcn >= last, "runs are out of order");
            last = run.firstVcn;
        }
    }
    std::vector<DataRun> runs;
    const uint64_t totalClusters = size ? (uint64_t(1) << (data[0] % 48)) : 0;
    (void)DecodeRuns(input.subspan(size ? 1 : 0), 0, totalClusters, runs);
    for (const DataRun& run : runs)
        if (!run.sparse && totalClusters)
            fuzz::Require(run.cluster >= 0 && uint64_t(run.cluster) + run.length <= totalClusters,
                          "a run reaches beyond the volume");
    return 0;
}
