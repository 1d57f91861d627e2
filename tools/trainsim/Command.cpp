#include "Command.h"

#include "LargeTrain.h"
#include "SampleTrain.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

namespace trainsim {

namespace {

void Usage(FILE* err) {
    std::fprintf(err,
                 "usage: trainsim <description> <base name> [--seed=<n>] [--truth]\n"
                 "       trainsim --sample[=freight|passenger]\n"
                 "       trainsim --large=<IO records> <base name> [--seed=<n>] [--truth]\n"
                 "\n"
                 "Simulates a train passing a wayside site and writes the files the site records\n"
                 "under the base name: .007 .012 .060 .064 .035 .034 .041 .018 .055.\n"
                 "<description> is a train description file ('-' reads standard input);\n"
                 "--sample prints the freight demo train's description (=passenger: the\n"
                 "articulated passenger train's); --large makes a train of\n"
                 "4-axle cars whose .007 holds up to the given number of records (at most 65535).\n"
                 "--truth also lists every wheel passage and vehicle as simulated.\n"
                 "A description with 'fragments yes' also writes the series of fragment files\n"
                 "(base name ending in 00: ...01, ...02, one per movement); with 'split at <s>'\n"
                 "it writes two recordings, the second under the base name + 1.\n");
}

const char* KindName(VehicleKind k) {
    switch (k) {
    case VehicleKind::Locomotive: return "loco";
    case VehicleKind::Railcar: return "car";
    case VehicleKind::Articulated: return "artic";
    case VehicleKind::EndOfTrain: return "eot";
    }
    return "?";
}

bool ReadText(const std::string& name, std::string& text) {
    std::ostringstream s;
    if (name == "-") {
        s << std::cin.rdbuf();
    } else {
        std::ifstream in(name, std::ios::binary);
        if (!in) return false;
        s << in.rdbuf();
    }
    text = s.str();
    return true;
}

}  // namespace

void PrintReport(const Simulation& sim, const std::vector<WrittenFile>& written, bool truth, FILE* out) {
    const TrainDescription& d = sim.desc;
    const SiteFacts& s = d.site;
    std::fprintf(out, "trainsim: %s (seed %llu)\n", d.trainId.c_str(), static_cast<unsigned long long>(d.seed));
    std::fprintf(out, "  %zu vehicles, %zu axles, %.1f ft; recorded for %.1f s\n", d.vehicles.size(),
                 sim.geometry.axleFt.size(), sim.geometry.lengthFt, sim.durationS);
    std::fprintf(out, "  AB spacing %d tenths, %d in the headers; travel %s\n", s.abTenths, s.HeaderAb(),
                 s.travelAtoB ? "A to B" : "B to A");
    std::fprintf(out, "  %d forward and %d backward wheel passages, %zu axles net\n", sim.ForwardPassages(),
                 sim.BackwardPassages(), sim.net.size());
    if (s.splitAtS >= 0.0)
        std::fprintf(out, "  recording split at %.1f s; the second recording counts its clock from there\n", s.splitAtS);
    if (s.fragments) std::fprintf(out, "  %zu movements, one fragment each\n", sim.movements.size());
    for (const WrittenFile& w : written)
        std::fprintf(out, "  wrote %s (%d record%s)\n", w.name.c_str(), w.records, w.records == 1 ? "" : "s");
    if (!truth) return;
    std::fprintf(out, "\nvehicles (vehicle from 0 as in the .035, first axle from 1, axles, owner, number, kind, front ft):\n");
    for (size_t i = 0; i < d.vehicles.size(); ++i) {
        const VehicleSpec& v = d.vehicles[i];
        const VehiclePlace& p = sim.geometry.vehicles[i];
        std::fprintf(out, "  %4zu  %5d %2d  %-4s %7u  %-5s %8.2f\n", i, p.firstAxle + 1, p.axles, v.owner.c_str(),
                     v.number, KindName(v.kind), p.frontFt);
    }
    std::fprintf(out, "\npassages (axle, direction, first edge raw, second edge raw, true mph):\n");
    for (const Passage& p : sim.passages)
        std::fprintf(out, "  %5d  %s  %10u %10u  %7.3f\n", p.axle + 1, p.forward ? "forward " : "backward", p.rawFirst,
                     p.rawSecond, p.mph);
}

int TrainsimMain(int argc, const char* const* argv, FILE* out, FILE* err) {
    std::vector<std::string> positional;
    bool truth = false, seedGiven = false;
    const char* sample = nullptr;
    long long large = -1;
    unsigned long long seed = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i] ? argv[i] : "";
        if (a == "--truth") {
            truth = true;
        } else if (a == "--sample" || a == "--sample=freight") {
            sample = SampleDescription();
        } else if (a == "--sample=passenger") {
            sample = PassengerSampleDescription();
        } else if (a == "--help" || a == "-h") {
            Usage(out);
            return kExitOk;
        } else if (a.rfind("--seed=", 0) == 0 || a.rfind("--large=", 0) == 0) {
            const bool isSeed = a[2] == 's';
            const std::string v = a.substr(isSeed ? 7 : 8);
            char* end = nullptr;
            errno = 0;
            const unsigned long long n = std::strtoull(v.c_str(), &end, 10);
            if (v.empty() || v[0] == '-' || *end != '\0' || errno == ERANGE || (!isSeed && (n < 1 || n > 65535))) {
                std::fprintf(err, "trainsim: bad value in %s\n", a.c_str());
                return kExitUsage;
            }
            if (isSeed) {
                seed = n;
                seedGiven = true;
            } else {
                large = static_cast<long long>(n);
            }
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            std::fprintf(err, "trainsim: unknown option %s\n", a.c_str());
            Usage(err);
            return kExitUsage;
        } else {
            positional.push_back(a);
        }
    }
    if (sample) {
        if (!positional.empty() || large >= 0) {
            Usage(err);
            return kExitUsage;
        }
        std::fputs(sample, out);
        return kExitOk;
    }
    TrainDescription desc;
    std::string base;
    if (large >= 0) {
        if (positional.size() != 1) {
            Usage(err);
            return kExitUsage;
        }
        desc = LargeTrain(unsigned(large), seedGiven ? seed : 1);
        base = positional[0];
    } else {
        if (positional.size() != 2) {
            Usage(err);
            return kExitUsage;
        }
        std::string text, error;
        if (!ReadText(positional[0], text)) {
            std::fprintf(err, "trainsim: cannot read %s\n", positional[0].c_str());
            return kExitDescription;
        }
        if (!ParseDescription(text, desc, error)) {
            std::fprintf(err, "trainsim: %s: %s\n", positional[0].c_str(), error.c_str());
            return kExitDescription;
        }
        base = positional[1];
    }
    if (base.empty()) {
        Usage(err);
        return kExitUsage;
    }
    if (seedGiven) desc.seed = seed;
    Simulation sim;
    std::string error;
    if (!Simulate(desc, sim, error)) {
        std::fprintf(err, "trainsim: %s\n", error.c_str());
        return kExitDescription;
    }
    std::vector<WrittenFile> written;
    std::fflush(out);
    if (!WriteSiteFiles(sim, base, written, error)) {
        std::fflush(stdout);
        std::fprintf(err, "trainsim: %s\n", error.c_str());
        return error.rfind("cannot write", 0) == 0 ? kExitWrite : kExitDescription;
    }
    PrintReport(sim, written, truth, out);
    return kExitOk;
}

}  // namespace trainsim
