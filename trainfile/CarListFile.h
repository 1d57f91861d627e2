// CCarListFile: car list file (.036), one 48-byte record per vehicle,
// built from the consist with the tags decoded.
#pragma once

#include "CarListCounters.h"
#include "CarListLayout.h"
#include "TagDecode.h"
#include "TrainFile.h"

#include <cstdio>
#include <string>

class CCarListFile : public CTrainFile {
public:
    CCarListFile();
    // Adds ".036", loads, counts the vehicles and seeks record 0.
    int Load(const char* name) override;

    // Replaces all records by those derived from the consist (.035) of that
    // name under the reader modes; tags whose flags share a bit with
    // rejectMask are rejected. 0 when the consist cannot be loaded (records
    // kept) or has no entries (records deleted). The cursor ends on the last
    // record made; the counters are computed afresh.
    int BuildFromConsist(const char* name, const TagReaderModes& modes, uint16_t rejectMask);

    // Next record whose vehicle number differs; 0 at the end (cursor kept).
    int NextCar();
    // First record of the previous vehicle; 0 on the first vehicle.
    int PrevCar();
    // The vehicle whose axle range holds axle a; 0 and cursor kept if none.
    int FindCarOfAxle(int a);
    // Turns the list end for end and seeks record 0; 0 for an empty list.
    int Reverse();
    // One line per record: number, EGC, axle count, initials, car number.
    void Print(std::FILE* out = stdout) const;

    const CarListCounters& Counters() const { return m_Counters; }

    // Fields of the current record.
    int GetVehicleNumber() const { return static_cast<int>(GetField(layout::carlist::kVehicleNumber)); }
    int GetFirstAxle() const { return static_cast<int>(GetField(layout::carlist::kFirstAxle)); }
    int GetAxleCount() const { return static_cast<int>(GetField(layout::carlist::kAxleCount)); }
    int GetEgc() const { return static_cast<int>(GetField(layout::carlist::kEgc)); }
    int GetStatus() const { return static_cast<int>(GetField(layout::carlist::kReadStatus)); }
    std::string GetInitials() const;
    std::string GetCarNumber() const;
    char GetStatusLetter() const { return static_cast<char>(GetField(layout::carlist::kStatusLetter)); }

private:
    void Count();
    std::string TextAt(int i, size_t offset, size_t length) const;

    CarListCounters m_Counters;
};
