// Record makers for the wheel, allocation, summary, consist and car list
// tests.
#pragma once

#include "AllocLayout.h"
#include "AxleLayout.h"
#include "CarListLayout.h"
#include "ConsistLayout.h"
#include "TagDecode.h"
#include "SummaryLayout.h"
#include "TrainFileBuilder.h"
#include "WheelLayout.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace fixture {

inline Record WheelRecord(uint8_t detector, uint8_t flags, uint32_t time, uint16_t recorderWord = 0) {
    Record r(layout::wheel::kRecordSize);
    r.Set(layout::wheel::kDetector, detector);
    r.Set(layout::wheel::kFlags, flags);
    r.Set(layout::wheel::kRecorder2, recorderWord);
    r.Set(layout::wheel::kTime, time);
    return r;
}

inline TrainFileBuilder WheelFileBuilder(uint8_t abSpacing = 60) {
    TrainFileBuilder b;
    b.Type(layout::wheel::kTypeGroup, layout::wheel::kTypeSubcode);
    b.Header(layout::wheel::kAbSpacing, abSpacing);
    return b;
}

struct Alloc {
    uint16_t first, last;
    uint32_t start, end;
    uint8_t egc, seq, part;
    uint8_t speed = 40 << 1;  // direction bit and whole mph << 1
    uint8_t keyHigh = 0;
};

inline Record AllocRecord(const Alloc& a, size_t length = layout::alloc::kRecordSize) {
    namespace al = layout::alloc;
    Record r(al::kRecordSize);
    r.Set(al::kFirstAxle, a.first).Set(al::kLastAxle, a.last);
    r.Set(al::kStartTime, a.start).Set(al::kEndTime, a.end);
    r.Set(al::kEgc, a.egc).Set(al::kSequence, a.seq).Set(al::kPart, a.part);
    r.Set(al::kSpeed, a.speed).Set(al::kKeyHigh, a.keyHigh);
    std::vector<uint8_t> bytes = r.Bytes();
    bytes.resize(length, 0);
    return Record(0).Append(bytes);
}

inline TrainFileBuilder AllocFileBuilder() {
    TrainFileBuilder b;
    b.Type(layout::alloc::kTypeGroup, layout::alloc::kTypeSubcode);
    return b;
}

// An .010 record at a steady speed (eighths of a mph) and raw time.
inline Record Axle(unsigned eighths, uint32_t time, uint16_t number, unsigned dir = 1) {
    Record r(layout::axle::kRecordSize);
    r.Set(layout::axle::kSpeedWhole, ((eighths / 8) << 1) | (dir & 1));
    r.Set(layout::axle::kSpeedEighths, eighths & 7);
    r.Set(layout::axle::kTime, time);
    r.Set(layout::axle::kAxleNumber, number);
    return r;
}

// Axles at 40 mph (18 ms per foot) placed at the given distances in feet
// from the first axle.
inline TrainFileBuilder AxlesAtFeet(const std::vector<double>& feet, unsigned eighths = 320) {
    TrainFileBuilder b;
    b.Type(layout::axle::kTypeGroup, layout::axle::kTypeSubcode);
    for (size_t i = 0; i < feet.size(); ++i)
        b.Add(Axle(eighths, 1000 + static_cast<uint32_t>(feet[i] * 18), static_cast<uint16_t>(i + 1)));
    return b;
}

// Positions of a locomotive (4 axles) followed by units whose axles pair
// into trucks 5 ft long; truckGap is the distance from one truck to the
// next (articulated trains: 50 ft; ordinary freight alternates with the
// short coupling gap between cars).
inline std::vector<double> LocoThenTrucks(int axles, double truckGap, double couplingGap = -1) {
    std::vector<double> feet = {0, 9, 40, 49};
    double x = 49;
    for (int i = 4; i < axles; ++i) {
        if (i == 4) x += 12;  // locomotive to the first truck
        else if (i % 2 == 1) x += 5;  // within a truck
        else if (couplingGap > 0 && (i - 4) % 4 == 0) x += couplingGap;
        else x += truckGap;
        feet.push_back(x);
    }
    return feet;
}

// A tag read of a consist entry: exception flags and 20 characters.
struct Read {
    uint16_t flags = 0;
    std::string text;
};

// The 20-character text of a numeric tag (library encoder), with the
// decoded byte 44 set where the layout has it.
inline std::string TagText(uint32_t egc, const std::string& owner, uint32_t number, uint32_t field44 = 0) {
    auto tag = MakeDecodedTag(egc, owner, number);
    if (!tag) throw std::runtime_error("no tag layout");
    if (field44) tag->Set(layout::aei::kRailcar44, field44);
    auto text = EncodeTag(*tag);
    if (!text) throw std::runtime_error("tag does not encode");
    return *text;
}

// A text whose equipment group code (1) has no layout: it never decodes.
inline std::string UndecodableText() { return std::string("\"") + std::string(19, ' '); }

struct Vehicle {
    uint16_t number;
    uint8_t egc;
    uint8_t status = 0;
    uint8_t axles = 4;
    uint16_t firstAxle = 0;
    std::vector<Read> reads = {};
    size_t extra = 0;  // sub-record bytes after the tag blocks
};

// A consist entry: 24-byte vehicle part, one tag block per read, then
// extra bytes of sub-records. Recognisable values go into the fields the
// car list copies.
inline Record ConsistEntry(const Vehicle& v) {
    namespace cs = layout::consist;
    Record r(cs::kFixedSize + cs::kTagBlockSize * v.reads.size() + v.extra);
    r.Set(cs::kLength, uint32_t(r.Size()));
    r.Set(cs::kVehicleNumber, v.number);
    r.Set(cs::kOrientation, 1);
    r.Set(cs::kByte6, 0x60 + v.number);
    r.Set(cs::kAxleCount, v.axles);
    r.Set(cs::kVehicleLength, 500 + v.number);
    r.Set(cs::kWord12, 1000u * v.number);
    r.Set(cs::kFirstAxle, v.firstAxle);
    r.Set(cs::kReadStatus, v.status);
    r.Set(cs::kTagCount, uint32_t(v.reads.size()));
    r.Set(cs::kEgc, v.egc);
    for (size_t k = 0; k < v.reads.size(); ++k) {
        const size_t base = k == 0 ? cs::kTagBlock1 : cs::kTagBlock2;
        r.U16(base + cs::kTagFlags.offset, v.reads[k].flags);
        r.U8(base + cs::kTagLead.offset, 'N');
        r.Text(base + cs::kTagTextOffset, v.reads[k].text);
    }
    if (v.extra >= cs::kSubHeaderSize) {
        const size_t sub = cs::kFixedSize + cs::kTagBlockSize * v.reads.size();
        r.U16(sub + cs::kSubLength.offset, uint16_t(v.extra));
        r.U16(sub + cs::kSubType.offset, 9);
    }
    return r;
}

inline Record CarRecord(uint16_t number, uint16_t firstAxle, uint8_t axles, uint8_t egc, uint8_t status,
                        uint32_t word0 = 0, uint8_t orientation = 0) {
    namespace cl = layout::carlist;
    Record r(cl::kRecordSize);
    r.Set(cl::kWord0, word0).Set(cl::kVehicleNumber, number).Set(cl::kFirstAxle, firstAxle);
    r.Set(cl::kAxleCount, axles).Set(cl::kEgc, egc).Set(cl::kReadStatus, status).Set(cl::kOrientation, orientation);
    r.Set(cl::kStatusLetter, 'K');
    return r;
}

inline TrainFileBuilder CarListFileBuilder() {
    TrainFileBuilder b;
    b.Type(layout::carlist::kTypeGroup, layout::carlist::kTypeSubcode);
    return b;
}

inline TrainFileBuilder ConsistFileBuilder() {
    TrainFileBuilder b;
    b.Type(layout::consist::kTypeGroup, layout::consist::kTypeSubcode).RecordLength(0);
    return b;
}

}  // namespace fixture
