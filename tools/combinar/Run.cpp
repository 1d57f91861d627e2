// The normal run (fact table, threshold loop, enumeration, candidate files
// and COMBINAR.DAT) and the standalone run that builds a train's allocation
// from its axles alone.
#include "Combinar.h"

#include "AllocFile.h"
#include "AxleFile.h"
#include "ConsistFile.h"
#include "FileAttributes.h"
#include "Platform.h"

#include <cstdio>
#include <filesystem>
#include <new>
#include <span>
#include <unordered_set>

namespace cs = layout::consist;

namespace {

const char* const kDatName = "COMBINAR.DAT";

// Bits of an entry that the stale-output step never deletes.
constexpr uint32_t kKeepAttributes = plat::kAttrHidden | plat::kAttrSystem | plat::kAttrDirectory;

void WriteDat(const RunFigures& fig) {
    const auto bytes = fig.Bytes();
    WriteNewFile(kDatName, bytes.data(), bytes.size());
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(plat::ResolvePath(a), plat::ResolvePath(b), ec) && !ec;
}

struct Candidate {
    bool duplicate = false;
    int32_t score = 0;
    uint32_t checksum = 0;
};

// Saves an allocation as an axle allocation file under name (".041" added
// when the name has no dot).
int SaveAllocation(const Allocation& a, const std::string& name) {
    CAllocFile file;
    if (!FillAllocationFile(a, file)) return 0;
    return file.SaveAs(name.c_str());
}

// Reads the axle facts of the train; false, with the message, when its
// axle file does not load.
bool LoadAxleFacts(const std::string& base, FactTable& table) {
    CAxleFile axles;
    if (!axles.Load(base.c_str())) {
        std::printf("Can't open axle file for \"%s\".\r\n", base.c_str());
        return false;
    }
    table.LoadAxles(axles);
    return true;
}

// Prints each car of the standalone run as it is completed.
class CarPrinter : public CarSink {
public:
    void CarCompleted(const Allocation& a, const CarSpan& car) override {
        const CarRecord& r0 = a.records[car.begin];
        const CarRecord& rl = a.records[car.begin + car.count - 1];
        const int axles = int(rl.last) - int(r0.first) + 1;
        const int number = static_cast<int>(a.cars.size());
        if (car.count >= 3)
            std::printf("#%03d) Axle count = %d (%03d-%03d), Platform count = %d\n", number, axles, r0.first, rl.last,
                        static_cast<int>(car.count));
        else
            std::printf("#%03d) Axle count = %d (%03d-%03d)\n", number, axles, r0.first, rl.last);
    }
};

}  // namespace

int FillAllocationFile(const Allocation& a, CAllocFile& file) {
    // The records are laid out in one buffer, field by field through the
    // record layout, and appended in one step: the bytes the file's own
    // field setters give, without a cursor move and a check per field.
    namespace al = layout::alloc;
    file.Empty();
    std::vector<uint8_t> records(a.records.size() * al::kRecordSize, 0);
    const std::span<uint8_t> bytes(records);
    for (size_t i = 0; i < a.records.size(); ++i) {
        const CarRecord& r = a.records[i];
        const size_t base = i * al::kRecordSize;
        layout::Set(bytes, base, al::kFirstAxle, r.first);
        layout::Set(bytes, base, al::kLastAxle, r.last);
        layout::Set(bytes, base, al::kStartTime, r.start);
        layout::Set(bytes, base, al::kEndTime, r.end);
        layout::Set(bytes, base, al::kEgc, r.egc);
        layout::Set(bytes, base, al::kSequence, static_cast<uint32_t>(r.car) & 0xFF);
        layout::Set(bytes, base, al::kKeyHigh, (static_cast<uint32_t>(r.car) >> 8) & 0xFF);
        layout::Set(bytes, base, al::kPart, r.part);
        layout::Set(bytes, base, al::kSpeed, r.speed);
    }
    if (!file.AppendAllocations(records)) return 0;
    if (!a.records.empty()) file.Seek(static_cast<int>(a.records.size()) - 1);
    return 1;
}

std::array<uint8_t, 40> RunFigures::Bytes() const {
    const int32_t values[10] = {total, unique, output, uncertain, anchorAxles,
                                axleCount, anchorCars, bestScore, balance, balanceZero};
    std::array<uint8_t, 40> bytes{};
    for (size_t i = 0; i < 10; ++i) layout::SetLE(bytes, 4 * i, 4, static_cast<uint32_t>(values[i]));
    return bytes;
}

void DeleteStaleOutputs(const std::string& base) {
    const std::string master = AddExtension(base, ".041");
    for (const char* pattern : {"CMBN????.041", kDatName}) {
        plat::FindFiles find;
        if (!find.FindFirst(pattern)) continue;
        do {
            const std::string name = find.Directory() + find.Name();
            const uint32_t attrs = plat::GetFileAttributes(name);
            if (attrs == plat::kInvalidAttributes || (attrs & kKeepAttributes)) continue;
            // A train whose own name looks like a candidate keeps its master.
            if (SameFile(name, master)) continue;
            if (attrs & plat::kAttrReadOnly) plat::SetFileAttributes(name, attrs & ~plat::kAttrReadOnly);
            plat::DeleteFile(name);
        } while (find.FindNext());
    }
}

int CountLaDisqualifiers(const std::string& base) {
    CConsistFile consist;
    if (!consist.Load(base.c_str()) || consist.GetCount() <= 0) return 0;
    int count = 0;
    consist.SeekEntry(0);
    do {
        if (!consist.IsCurrentValid()) continue;
        const uint32_t status = consist.GetField(cs::kReadStatus);
        int blocks[2] = {-1, -1};
        if (status == 0 || status == 3) {
            blocks[0] = 1;
            blocks[1] = 0;
        } else if (status == 1 || status == 2) {
            blocks[0] = 0;
        }
        for (int k : blocks) {
            uint16_t flags = 0;
            if (k >= 0 && consist.GetTagFlagsAt(k, flags) && (flags & 0x06) == 0x06) ++count;
        }
    } while (consist.NextVehicle());
    return count;
}

void SetCombination(FactTable& table, const std::vector<uint32_t>& uncertain, uint32_t j) {
    std::vector<FactEntry>& t = table.Entries();
    for (uint32_t axle : uncertain) {
        t[axle].cl = static_cast<int32_t>(j % 3);
        j /= 3;
    }
}

void NormalRun(const std::string& base, const CombinarOptions& opt) {
    DeleteStaleOutputs(base);
    RunFigures fig;
    const DirectionSummary dir = ScanDirections(base);
    fig.balance = dir.balance;
    fig.balanceZero = dir.balanceZero;

    FactTable table;
    if (!LoadAxleFacts(base, table)) return;
    const std::vector<Anchor> anchors = ChooseAnchors(base);
    const Master master = LoadMaster(base);

    int threshold = kStartThreshold;
    std::vector<uint32_t> uncertain;
    size_t axleCount = 0;
    for (;;) {
        axleCount = static_cast<size_t>(table.Build(threshold, opt.TruckGapLimit()));
        fig.anchorCars = table.MarkAnchors(anchors, master);
        fig.anchorAxles = table.AnchorAxles();
        if (axleCount == 0) {
            std::printf("Can't create axle fact table for \"%s\".\r\n", base.c_str());
            WriteDat(fig);
            return;
        }
        uncertain = table.Uncertain();
        if (uncertain.size() <= kMaxUncertain) break;
        if (threshold == 0) {
            std::printf("Exceeded max uncertain axles (%u)!!!\n", static_cast<unsigned>(uncertain.size()));
            WriteDat(fig);
            return;
        }
        --threshold;
    }
    const int n = static_cast<int>(uncertain.size());
    fig.uncertain = n;
    fig.axleCount = static_cast<int32_t>(axleCount);

    if ((dir.clearCount == 0 || dir.setCount == 0) && n == 0 && dir.minSpeed > 1) {
        const int la = CountLaDisqualifiers(base);
        if (la == 0) {
            std::printf("Combinar aborting. Train did not stop. Original looks clean.\n");
            return;
        }
        std::printf("Train did not stop, BUT, there were %i LA disqualifier combos. Processing will proceed...\n", la);
    }

    uint32_t total = 1;
    for (int k = 0; k < n; ++k) total *= 3;
    fig.total = static_cast<int32_t>(total);
    if (opt.verbose) {
        std::printf("Train:%s: Uncertain Axle Dimensions:%d. Possible Combinations: %lu (3^%d)\n", base.c_str(), n,
                    static_cast<unsigned long>(total), n);
        table.Print(threshold);
    }

    std::vector<Candidate> candidates;
    try {
        candidates.resize(total);
    } catch (const std::bad_alloc&) {
        std::printf("Error allocating score buffer\n");
        WriteDat(fig);
        return;
    }
    if (!master.loaded) std::printf("Can't open master car axle file \"%s\"...\n", base.c_str());

    // First pass: build every combination, score each pattern once.
    Allocation alloc;
    alloc.records.reserve(axleCount);
    alloc.cars.reserve(axleCount);
    std::unordered_set<uint32_t> seen;
    seen.reserve(total * 2);
    uint32_t unique = 0;
    int32_t lowest = 0, highest = 0;
    uint32_t built = 0;  // the combination the table and alloc hold now
    for (uint32_t j = 0; j < total; ++j) {
        SetCombination(table, uncertain, j);
        BuildAllocation(table, master, alloc);
        built = j;
        Candidate& c = candidates[j];
        c.checksum = table.Checksum(master);
        if (!seen.insert(c.checksum).second) {
            c.duplicate = true;
            continue;
        }
        ++unique;
        if (opt.verbose) std::printf("Train:%s: Scoring unique pattern %lu...\n", base.c_str(), static_cast<unsigned long>(unique));
        c.score = ScoreAllocation(table.Entries(), alloc);
        if (unique == 1 || c.score < lowest) lowest = c.score;
        if (c.score > highest) highest = c.score;
    }
    fig.unique = static_cast<int32_t>(unique);
    if (opt.verbose) std::printf("Found %lu unique possible consists...\n", static_cast<unsigned long>(unique));

    // Output pass: every pattern with the best score, in combination order.
    const int32_t best = lowest;
    int32_t written = 0;
    bool exceeded = false;
    for (uint32_t j = 0; j < total && !exceeded; ++j) {
        const Candidate& c = candidates[j];
        if (c.duplicate || c.score != best) continue;
        // The last combination scored is still built: it needs no second build.
        if (j != built) {
            SetCombination(table, uncertain, j);
            BuildAllocation(table, master, alloc);
            built = j;
        }
        if (opt.verbose) {
            std::printf("\nScore=%02d > ", c.score);
            std::printf("%s", PatternText(table.Entries(), alloc).c_str());
        }
        char name[16];
        std::snprintf(name, sizeof name, "CMBN%04ld", static_cast<long>(written));
        if (opt.verbose) std::printf("Train:%s: Saving pattern \"%s\"...\n", base.c_str(), name);
        if (SaveAllocation(alloc, name)) ++written;
        if (written == kMaxOutputFiles) {
            std::printf("Error!!! Max output files exceeded!\n");
            exceeded = true;
        }
    }
    fig.output = exceeded ? -1 : written;
    fig.bestScore = best;
    WriteDat(fig);
    std::printf("Combinar Finished. \n--------------------------------------------\n"
                "Total Axle Consists..... %d\nUnique Axles Consists... %d\nOutput Axle Consists.... %d\n"
                "Uncertain Axles......... %d\nAnchor Axles............ %d\nAnchor Cars............. %d\n"
                "Best Score.............. %d\n",
                fig.total, fig.unique, fig.output, fig.uncertain, fig.anchorAxles, fig.anchorCars, fig.bestScore);
}

void StandaloneRun(const std::string& base) {
    std::printf("\r\n");
    if (base.find('.') != std::string::npos) {
        std::printf("Standalone run refused: \"%s\" holds a dot, so the new allocation would be saved over that "
                    "file. Give the base name without an extension.\n",
                    base.c_str());
        return;
    }
    FactTable table;
    if (!LoadAxleFacts(base, table)) return;
    std::vector<FactEntry> t = table.AxleFacts();
    for (size_t i = 0; i < t.size(); ++i) {
        const int32_t d = i + 1 < t.size() ? WholeFeet(t[i].distF) : 0;
        t[i].cl = d < 10 ? kTruck : (d <= 30 ? kCoupler : kBody);
    }
    Allocation alloc;
    CarPrinter printer;
    BuildCars(t, 0, t.size(), true, alloc, &printer);
    if (alloc.cars.empty()) {
        std::printf("No car could be built: \"%s\" holds no axles. \"%s\" is left as it was.\n",
                    AddExtension(base, ".010").c_str(), AddExtension(base, ".041").c_str());
        return;
    }
    TypePass(t, alloc);
    SaveAllocation(alloc, base);
}
