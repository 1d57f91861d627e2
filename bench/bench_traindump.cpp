// traindump on the largest files a 16-bit record count allows (65,535
// records), next to xxd dumping the same bytes as hex: an axle event file
// (8-byte records) and a consist whose entries carry two tag reads each
// (88-byte entries, two tag decodes per entry). Output goes to /dev/null.
#include "AxleLayout.h"
#include "BenchSupport.h"
#include "ConsistLayout.h"
#include "HeaderLayout.h"
#include "Platform.h"
#include "TagDecode.h"

#include <benchmark/benchmark.h>

#include <stdexcept>

namespace {

namespace hd = layout::header;
namespace ax = layout::axle;
namespace cs = layout::consist;

constexpr unsigned kRecords = 65535;

std::vector<uint8_t> Header(uint16_t format, uint16_t group, uint16_t subcode, uint16_t recordLength,
                            size_t dataSize) {
    std::vector<uint8_t> h(hd::kSize, 0);
    layout::Set(h, 0, hd::kFormat, format);
    layout::Set(h, 0, hd::kTypeGroup, group);
    layout::Set(h, 0, hd::kTypeSubcode, subcode);
    layout::Set(h, 0, hd::kFileLength, uint32_t(hd::kSize + dataSize));
    layout::Set(h, 0, hd::kRecordCount, kRecords);
    layout::Set(h, 0, hd::kRecordLength, recordLength);
    layout::Set(h, 0, hd::kScaleNumerator, 1);
    return h;
}

std::vector<uint8_t> AxleFile() {
    std::vector<uint8_t> f = Header(hd::kDefaultFormat, ax::kTypeGroup, ax::kTypeSubcode, ax::kRecordSize,
                                    kRecords * ax::kRecordSize);
    f.resize(hd::kSize + kRecords * ax::kRecordSize);
    for (unsigned i = 0; i < kRecords; ++i) {
        const size_t at = hd::kSize + i * ax::kRecordSize;
        layout::Set(f, at, ax::kSpeedWhole, ((20 + i % 30) << 1) | 1);
        layout::Set(f, at, ax::kSpeedEighths, i % 8);
        layout::Set(f, at, ax::kTime, 1000 + 150 * i);
        layout::Set(f, at, ax::kAxleNumber, i + 1);
    }
    return f;
}

std::vector<uint8_t> ConsistFile() {
    std::vector<uint8_t> f = Header(0x0100, cs::kTypeGroup, cs::kTypeSubcode, 0, kRecords * cs::kTwoTagSize);
    f.resize(hd::kSize + kRecords * cs::kTwoTagSize);
    for (unsigned i = 0; i < kRecords; ++i) {
        const size_t at = hd::kSize + i * cs::kTwoTagSize;
        layout::Set(f, at, cs::kLength, cs::kTwoTagSize);
        layout::Set(f, at, cs::kVehicleNumber, i + 1);
        layout::Set(f, at, cs::kAxleCount, 4);
        layout::Set(f, at, cs::kFirstAxle, uint16_t(4 * i));
        layout::Set(f, at, cs::kTagCount, 2);
        layout::Set(f, at, cs::kEgc, 19);
        const auto tag = MakeDecodedTag(19, "TTX", 100000 + i);
        const auto text = tag ? EncodeTag(*tag) : std::nullopt;
        if (!text) throw std::runtime_error("cannot encode a tag");
        for (size_t block : {cs::kTagBlock1, cs::kTagBlock2}) {
            layout::Set(f, at + block, cs::kTagLead, '#');
            std::copy(text->begin(), text->end(), f.begin() + long(at + block + cs::kTagTextOffset));
        }
    }
    return f;
}

struct Scratch {
    bench::ScratchDir dir{"traindump_bench"};
    std::string axles = dir.File("BENCH.010"), consist = dir.File("BENCH.035");
    size_t axleBytes = 0, consistBytes = 0;
    Scratch() {
        const auto a = AxleFile(), c = ConsistFile();
        axleBytes = a.size(), consistBytes = c.size();
        if (!plat::WriteNewFile(axles, a.data(), a.size()) || !plat::WriteNewFile(consist, c.data(), c.size()))
            throw std::runtime_error("cannot write the inputs");
    }
};

Scratch& Files() {
    static Scratch s;
    return s;
}

void Run(benchmark::State& state, std::vector<std::string> argv, size_t bytes) {
    for (auto _ : state)
        if (bench::Spawn(argv, true) != 0) state.SkipWithError("the program failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void BM_TraindumpAxleText(benchmark::State& s) { Run(s, {TRAINDUMP_PROGRAM, Files().axles}, Files().axleBytes); }
void BM_TraindumpAxleJson(benchmark::State& s) {
    Run(s, {TRAINDUMP_PROGRAM, "--json", Files().axles}, Files().axleBytes);
}
void BM_XxdAxle(benchmark::State& s) { Run(s, {"xxd", Files().axles}, Files().axleBytes); }
void BM_TraindumpConsistText(benchmark::State& s) {
    Run(s, {TRAINDUMP_PROGRAM, Files().consist}, Files().consistBytes);
}
void BM_TraindumpConsistJson(benchmark::State& s) {
    Run(s, {TRAINDUMP_PROGRAM, "--json", Files().consist}, Files().consistBytes);
}
void BM_XxdConsist(benchmark::State& s) { Run(s, {"xxd", Files().consist}, Files().consistBytes); }

}  // namespace

BENCHMARK(BM_TraindumpAxleText)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TraindumpAxleJson)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_XxdAxle)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TraindumpConsistText)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TraindumpConsistJson)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_XxdConsist)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
