// TAGPAIR stand-in: pairs a train's axles into vehicles and its tag reads
// with the vehicles.
//
//   TAGPAIR <name>              makes <name>.010 from <name>.007 and
//                               <name>.041 from the axles when they are
//                               absent (keeping them when present), then
//                               writes <name>.035 with one entry per
//                               allocated vehicle and marks <name>.060 as
//                               paired.
//   TAGPAIR <name> /AB2CARONLY  makes <name>.010 when absent and writes
//                               <name>.041 from it.
//
// Exit status 0 when it did its work, 1 when a file was missing or could not
// be written, 2 for the usage text.
#include "AllocFile.h"
#include "ConsistFile.h"
#include "Edgemill.h"
#include "TagFile.h"
#include "TrainFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

namespace {

namespace cs = layout::consist;
namespace tr = layout::tagread;

constexpr uint16_t kConsistFormat = 0x0100;

// The axle file from the IO events, unless the train has one.
bool EnsureAxles(const std::string& name) {
    const std::string axles = name + ".010";
    if (FileExists(axles)) return true;
    std::vector<uint8_t> io;
    if (!ReadWholeFile(name + ".007", io)) {
        std::printf("TAGPAIR: \"%s.007\" cannot be read.\n", name.c_str());
        return false;
    }
    const EdgemillConversion c = ConvertIoEvents(io, EdgemillOptions{});
    if (c.axles.empty()) {
        std::printf("TAGPAIR: no axles in \"%s.007\".\n", name.c_str());
        return false;
    }
    return WriteNewFile(axles, c.axles.data(), c.axles.size()) != 0;
}

bool BuildAllocation(const std::string& name) {
    CAllocFile alloc;
    if (alloc.BuildFromAxles(name.c_str())) return true;
    std::printf("TAGPAIR: no allocation could be made for \"%s\".\n", name.c_str());
    return false;
}

// The reads of <name>.060 that were not deleted, in file order, each as a
// whole tag read record: a file whose records are shorter than that has the
// missing bytes read as zeros, so that every field the pairing takes is
// there.
std::vector<std::vector<uint8_t>> TagReads(CTagFile& tags) {
    std::vector<std::vector<uint8_t>> reads;
    for (int i = 0; i < tags.GetCount(); ++i) {
        tags.Seek(i);
        if (tags.IsDeleted()) continue;
        const auto rec = tags.CurrentRecord();
        std::vector<uint8_t>& read = reads.emplace_back(rec.begin(), rec.end());
        if (read.size() < tr::kRecordSize) read.resize(tr::kRecordSize, 0);
    }
    return reads;
}

std::vector<uint8_t> ConsistEntry(CAllocFile& alloc, int vehicle, const std::vector<uint8_t>* read) {
    std::vector<uint8_t> e(read ? cs::kOneTagSize : cs::kFixedSize, 0);
    const auto axles = static_cast<uint32_t>(alloc.VehicleAxleCount());
    uint32_t egc = alloc.GetEgc();
    layout::Set(e, 0, cs::kLength, static_cast<uint32_t>(e.size()));
    layout::Set(e, 0, cs::kVehicleNumber, static_cast<uint32_t>(vehicle));
    layout::Set(e, 0, cs::kAxleCount, axles & 0xFF);
    layout::Set(e, 0, cs::kAxleCountHigh, (axles >> 8) & 0xFF);
    layout::Set(e, 0, cs::kFirstAxle, static_cast<uint32_t>(alloc.VehicleFirstAxle()));
    layout::Set(e, 0, cs::kReadStatus, read ? 0 : cs::kStatusNoTag);
    layout::Set(e, 0, cs::kTagCount, read ? 1 : 0);
    if (read) {
        const std::span<const uint8_t> rec(*read);
        layout::Set(e, 0, cs::kWord12, layout::Get(rec, 0, tr::kTime));
        layout::Set(e, cs::kTagBlock1, cs::kTagLead, layout::Get(rec, 0, tr::kLead));
        std::copy_n(rec.begin() + tr::kTextOffset, cs::kTagTextLength, e.begin() + cs::kTagBlock1 + cs::kTagTextOffset);
        CDecodedTag tag;
        if (tag.Assign(rec.subspan(tr::kLead.offset, 1 + tr::kTextLength)) && IsAcceptedEgc(tag.Egc())) egc = tag.Egc();
    }
    layout::Set(e, 0, cs::kEgc, egc);
    return e;
}

bool PairTags(const std::string& name) {
    CAllocFile alloc;
    if (!alloc.Load((name + ".041").c_str()) || alloc.GetCount() <= 0) {
        std::printf("TAGPAIR: \"%s.041\" has no vehicles.\n", name.c_str());
        return false;
    }
    CTagFile tags;
    const bool haveTags = tags.Load((name + ".060").c_str()) != 0;
    const auto reads = haveTags ? TagReads(tags) : std::vector<std::vector<uint8_t>>{};

    CConsistFile consist;
    consist.SetHeaderField(layout::header::kFormat, kConsistFormat);
    StampLocalDateTime(consist.Header());
    // The n-th read of side 1 goes with the n-th vehicle.
    int vehicle = 0;
    alloc.Seek(0);
    do {
        const auto* read = static_cast<size_t>(vehicle) < reads.size() ? &reads[static_cast<size_t>(vehicle)] : nullptr;
        const auto entry = ConsistEntry(alloc, vehicle, read);
        if (!consist.AppendEntry(entry.data(), static_cast<unsigned>(entry.size()))) return false;
        ++vehicle;
    } while (alloc.NextVehicle());
    if (!consist.SaveAs((name + ".035").c_str())) return false;
    if (haveTags) {
        tags.SetHeaderField(tr::kProcessingFlags, tags.GetProcessingFlags() | tr::kTagPairProcessed);
        if (!tags.Save()) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3 || (argc == 3 && strcasecmp(argv[2], "/AB2CARONLY") != 0)) {
        std::printf("Syntax: TAGPAIR <BASE NAME> [/AB2CARONLY]\n");
        return 2;
    }
    const std::string name = argv[1];
    if (argc == 3) return EnsureAxles(name) && BuildAllocation(name) ? 0 : 1;
    if (!EnsureAxles(name)) return 1;
    if (!FileExists(name + ".041") && !BuildAllocation(name)) return 1;
    return PairTags(name) ? 0 : 1;
}
