// The allocation of one combination built the slow, direct way: the master
// read from disk for every build, each car found by walking the master from
// its first record, the working car count found by walking the working
// allocation, every record appended on its own, and the type pass driven
// through the allocation's vehicle walk. Tests compare it with the fast
// build, and the benchmark times it.
#pragma once

#include "AllocFile.h"
#include "AxleFile.h"
#include "Combinar.h"

#include <string>

namespace combinar_test {

inline void LiteralTypePass(CAllocFile& work, CAxleFile& axles) {
    const int cars = work.CountVehicles();
    for (int v = 0; v < cars; ++v) {
        work.SeekVehicle(v);
        const int n = work.VehicleAxleCount();
        const int records = work.VehicleRecordCount();
        const int b = work.VehicleFirstAxle();
        const int z = work.VehicleLastAxle();
        if (n % 2 != 0) {
            work.SetEgc(0x93);
        } else if (records == 1 && (n == 4 || n == 6)) {
            const float spacing =
                axles.MsPerFoot(b, b + 1) > axles.MsPerFoot(z - 1, z) ? axles.DistanceFeet(b, b + 1) : axles.DistanceFeet(z - 1, z);
            if (spacing >= 7.5f) {
                if (!(n == 4 && axles.DistanceFeet(b + 1, b + 2) >= 35.0f)) work.SetEgc(5);
            } else {
                work.SetEgc(n == 6 ? 5 : 19);
            }
        }
    }
}

// Builds into work; 0 when the master does not load.
inline int LiteralBuild(FactTable& table, const std::string& base, CAxleFile& axles, CAllocFile& work) {
    CAllocFile master;
    if (!master.Load(base.c_str())) return 0;
    work.Empty();
    std::vector<FactEntry>& t = table.Entries();
    const size_t n = t.size();
    for (size_t a = 0; a < n;) {
        const int car = work.CountVehicles();
        if (t[a].anchor) {
            master.SeekVehicle(t[a].ancMaster);
            do {
                uint8_t rec[24] = {};
                namespace al = layout::alloc;
                layout::Set(rec, 0, al::kFirstAxle, static_cast<uint32_t>(master.GetFirstAxle()));
                layout::Set(rec, 0, al::kLastAxle, static_cast<uint32_t>(master.GetLastAxle()));
                layout::Set(rec, 0, al::kStartTime, static_cast<uint32_t>(master.GetStartTime()));
                layout::Set(rec, 0, al::kEndTime, static_cast<uint32_t>(master.GetEndTime()));
                layout::Set(rec, 0, al::kEgc, master.GetEgc());
                layout::Set(rec, 0, al::kSequence, static_cast<uint32_t>(car) & 0xFF);
                layout::Set(rec, 0, al::kKeyHigh, static_cast<uint32_t>(car) >> 8);
                layout::Set(rec, 0, al::kPart, master.GetPart());
                layout::Set(rec, 0, al::kSpeed, master.GetSpeedByte());
                work.AppendAllocation(rec);
            } while (master.NextPart());
            const int idx = t[a].ancMaster;
            for (++a; a < n && t[a].anchor && t[a].ancMaster == idx; ++a) {
            }
        } else {
            size_t b = a;
            while (b < n && !t[b].anchor) ++b;
            Allocation cars;
            cars.cars.resize(static_cast<size_t>(car));
            BuildCars(t, a, b, false, cars, nullptr);
            CAllocFile one;
            FillAllocationFile(cars, one);
            for (int i = 0; i < one.GetCount(); ++i)
                work.AppendAllocation(one.Data().data() + static_cast<size_t>(i) * layout::alloc::kRecordSize);
            a = b;
        }
    }
    LiteralTypePass(work, axles);
    if (n > 0) t[n - 1].dcl = kPlatformBody;
    return 1;
}

}  // namespace combinar_test
