#include "ReservedAreas.h"

#include "AllocLayout.h"
#include "AxleLayout.h"
#include "CarListLayout.h"
#include "ConsistLayout.h"
#include "DetectorLayout.h"
#include "Event024Layout.h"
#include "InputStateLayout.h"
#include "IoLayout.h"
#include "RecordClasses.h"
#include "ReservedLayout.h"
#include "SummaryLayout.h"
#include "TagLayout.h"
#include "WheelLayout.h"
#include "WideText.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <span>

namespace rz = layout::reserved;
namespace cs = layout::consist;

namespace {

// The object a routine works on: the identified file itself, or a second
// object of the type's record class opened on the same file.
enum class RecordObject { Identified, Class01A, Class024, Class034, Class035, Class041, Class060 };

std::unique_ptr<CTag> MakeRecordObject(RecordObject object) {
    switch (object) {
    case RecordObject::Class01A: return std::make_unique<CTag01A>();
    case RecordObject::Class024: return std::make_unique<CTag024>();
    case RecordObject::Class034: return std::make_unique<CTag034>();
    case RecordObject::Class035: return std::make_unique<CTag035>();
    case RecordObject::Class041: return std::make_unique<CTag041>();
    case RecordObject::Class060: return std::make_unique<CTag060>();
    case RecordObject::Identified: break;
    }
    return nullptr;
}

// How a routine counts what it zeroed for the report line.
enum class Counting {
    Header,            // header only: 1
    RecordsAndHeader,  // records visited + 1
    Records,           // records visited (the header is not touched)
};

// When the per-record action applies, judged on the header's entry length.
enum class EntryRule { Any, AtLeast, Exactly };

struct Routine {
    ReservedArea area;
    RecordObject object;                 // the object the routine works on and saves
    Counting counting;
    std::span<const rz::Range> header;   // header bytes zeroed first
    bool commonHeaderLast;               // the common header area is zeroed at the end
    std::span<const rz::Range> zero;     // record bytes zeroed
    std::span<const rz::Range> text;     // record text fields cleaned
    std::span<const rz::Mask> masks;     // record fields whose unused bits are cleared
    EntryRule rule = EntryRule::Any;
    size_t ruleLength = 0;
};

constexpr std::span<const rz::Range> kNoRanges{};
constexpr std::span<const rz::Mask> kNoMasks{};

// One row per routine of the type table.
const Routine kRoutines[] = {
    {ReservedArea::IoHeader, RecordObject::Identified, Counting::Header, layout::io::kReservedHeader, false, kNoRanges,
     kNoRanges, kNoMasks},
    {ReservedArea::AxleHeader, RecordObject::Identified, Counting::Header, layout::axle::kReservedHeader, false,
     kNoRanges, kNoRanges, kNoMasks},
    {ReservedArea::WheelHeader, RecordObject::Identified, Counting::Header, layout::wheel::kReservedHeader, false,
     kNoRanges, kNoRanges, kNoMasks},
    {ReservedArea::Records017, RecordObject::Identified, Counting::RecordsAndHeader, kNoRanges, true, rz::k017Record,
     kNoRanges, kNoMasks},
    {ReservedArea::Records018, RecordObject::Identified, Counting::RecordsAndHeader, layout::detector::kReservedHeader,
     false, layout::detector::kReservedRecord, kNoRanges, kNoMasks},
    {ReservedArea::Records01A, RecordObject::Class01A, Counting::RecordsAndHeader, kNoRanges, true,
     layout::inputstate::kReservedRecord, kNoRanges, kNoMasks},
    {ReservedArea::Records020, RecordObject::Identified, Counting::RecordsAndHeader, kNoRanges, true, kNoRanges,
     rz::k020Text, kNoMasks},
    {ReservedArea::Records021, RecordObject::Identified, Counting::RecordsAndHeader, kNoRanges, true, kNoRanges,
     rz::k021Text, kNoMasks},
    {ReservedArea::Records024, RecordObject::Class024, Counting::RecordsAndHeader, kNoRanges, true,
     layout::event024::kReservedRecord, kNoRanges, kNoMasks},
    {ReservedArea::Records031, RecordObject::Identified, Counting::RecordsAndHeader, kNoRanges, true, rz::k031Record,
     rz::k031Text, kNoMasks},
    {ReservedArea::Records034, RecordObject::Class034, Counting::RecordsAndHeader, layout::summary::kReservedHeader,
     false, layout::summary::kReservedRecord, kNoRanges, kNoMasks},
    // The consist records have their own action (CleanConsistRecord).
    {ReservedArea::Records035, RecordObject::Class035, Counting::RecordsAndHeader, kNoRanges, true, kNoRanges,
     kNoRanges, kNoMasks},
    {ReservedArea::Records036, RecordObject::Identified, Counting::RecordsAndHeader, kNoRanges, true,
     layout::carlist::kReservedRecord, kNoRanges, kNoMasks, EntryRule::AtLeast, layout::carlist::kRecordSize},
    {ReservedArea::Records041, RecordObject::Class041, Counting::RecordsAndHeader, kNoRanges, true,
     layout::alloc::kReservedRecord, kNoRanges, kNoMasks, EntryRule::Exactly, layout::alloc::kRecordSize},
    {ReservedArea::Records043, RecordObject::Identified, Counting::RecordsAndHeader, kNoRanges, true, rz::k043Record,
     kNoRanges, kNoMasks},
    {ReservedArea::CommonHeader, RecordObject::Identified, Counting::Header, kNoRanges, true, kNoRanges, kNoRanges,
     kNoMasks},
    {ReservedArea::Records060, RecordObject::Class060, Counting::Records, kNoRanges, false, kNoRanges, kNoRanges,
     layout::tagread::kRecordUsedBits},
    {ReservedArea::Header071, RecordObject::Identified, Counting::Header, rz::k071Header, false, kNoRanges, kNoRanges,
     kNoMasks},
};

const Routine* FindRoutine(ReservedArea area) {
    for (const Routine& r : kRoutines)
        if (r.area == area) return &r;
    return nullptr;  // ReservedArea::None
}

// The part of a byte run that lies inside the area (a record cut short, or
// shorter than the run): nothing beyond the record is ever touched.
std::span<uint8_t> Clip(std::span<uint8_t> area, const rz::Range& r) {
    if (r.begin >= area.size()) return {};
    return area.subspan(r.begin, std::min<size_t>(r.end, area.size()) - r.begin);
}

void ZeroRanges(std::span<uint8_t> area, std::span<const rz::Range> ranges) {
    for (const rz::Range& r : ranges) std::ranges::fill(Clip(area, r), uint8_t{0});
}

// A text field keeps its text up to the first zero byte; everything after it
// becomes zero. A field without a zero byte is kept whole.
void CleanTextFields(std::span<uint8_t> area, std::span<const rz::Range> fields) {
    for (const rz::Range& r : fields) {
        const std::span<uint8_t> field = Clip(area, r);
        std::fill(std::ranges::find(field, uint8_t{0}), field.end(), uint8_t{0});
    }
}

void ApplyMasks(std::span<uint8_t> area, size_t base, std::span<const rz::Mask> masks) {
    for (const rz::Mask& m : masks)
        if (layout::Fits(area.size(), base, m.field))
            layout::Set(area, base, m.field, layout::Get(area, base, m.field) & m.keep);
}

// The record under the cursor: one entry length from the cursor, cut at the
// end of the data. Under an entry length of 0 the record has no end of its
// own and reaches to the end of the data.
std::span<uint8_t> FixedRecordAt(CTag& object) {
    const std::span<uint8_t> data = object.Data();
    const size_t offset = object.GetCurrentOffset();
    if (offset >= data.size()) return {};
    const size_t length = object.GetEntryLength();
    const size_t rest = data.size() - offset;
    return data.subspan(offset, length == 0 ? rest : std::min(length, rest));
}

void CleanFixedRecord(CTag& object, const Routine& r) {
    const std::span<uint8_t> record = FixedRecordAt(object);
    ZeroRanges(record, r.zero);
    CleanTextFields(record, r.text);
    ApplyMasks(record, 0, r.masks);
}

// A consist record: byte 23 of the vehicle part and the reserved bits of
// each tag block. A block is cleaned only when the record's tag count says
// it is there, so that sub-records following fewer than two tag blocks
// keep their bytes.
void CleanConsistRecord(CTag& object, uint32_t index) {
    const std::span<uint8_t> data = object.Data();
    const size_t offset = object.GetCurrentOffset();
    const uint32_t length = layout::GetLE(data, offset, cs::kLength.width);
    if (length < cs::kFixedSize) {
        WPrintOut(L"035 Entry Length Error, file %ls, record %u, length of %hu less than %u.\n",
                  object.GetFileName().c_str(), index, static_cast<unsigned short>(length),
                  static_cast<unsigned>(cs::kFixedSize));
        return;
    }
    // A record that claims more bytes than the data holds is cleaned as far
    // as its bytes are present.
    const std::span<uint8_t> record = data.subspan(offset, std::min<size_t>(length, data.size() - offset));
    layout::Set(record, 0, cs::kReserved23, 0);

    const uint32_t tagCount = layout::Get(record, 0, cs::kTagCount);
    const size_t blocks[] = {cs::kTagBlock1, cs::kTagBlock2};
    for (uint32_t k = 0; k < 2 && k < tagCount; ++k)
        if (blocks[k] + cs::kTagBlockSize <= length) ApplyMasks(record, blocks[k], cs::kTagUsedBits);
}

bool RecordRuleHolds(const CTag& object, const Routine& r) {
    switch (r.rule) {
    case EntryRule::AtLeast: return object.GetEntryLength() >= r.ruleLength;
    case EntryRule::Exactly: return object.GetEntryLength() == r.ruleLength;
    case EntryRule::Any: break;
    }
    return true;
}

// Prints the report line and, when something was zeroed, rewrites the file
// whole (header first) with the length fields as its type wants them.
void ReportAndSave(CTag& object, const std::wstring& shownName, uint32_t typeCode, unsigned long count) {
    WPrintOut(L"%ls, type 0x%03x, is a valid Velmar file. Zeroed %lu.", shownName.c_str(), typeCode, count);
    if (count != 0) {
        if (object.Save(kLengthByType, 1))
            WPrintOut(L" Saved.");
        else
            WPrintOut(L" Error saving %ls.", object.GetFileName().c_str());
    }
    WPrintOut(L"\n");
    std::fflush(stdout);
}

}  // namespace

void CleanReservedAreas(CTag& file, const std::wstring& shownName) {
    const Routine* routine = FindRoutine(file.GetType()->m_eReserved);
    if (!routine) return;
    const Routine& r = *routine;
    const uint32_t typeCode = file.GetTypeCode();

    // The typed routines work on a second object of the type's record class,
    // opened on the same file (the name already carries its extension).
    std::unique_ptr<CTag> typed;
    CTag* object = &file;
    if (r.object != RecordObject::Identified) {
        typed = MakeRecordObject(r.object);
        if (!typed || !typed->OpenAs(file.GetFileName().c_str())) return;
        object = typed.get();
    }

    ZeroRanges(object->Header(), r.header);

    uint32_t visited = 0;
    if (r.counting != Counting::Header && RecordRuleHolds(*object, r)) {
        const uint32_t count = static_cast<uint32_t>(object->GetCount());
        while (visited < count) {
            if (r.area == ReservedArea::Records035)
                CleanConsistRecord(*object, visited);
            else
                CleanFixedRecord(*object, r);
            ++visited;
            if (!object->Next()) break;
        }
    }

    if (r.commonHeaderLast) object->ZeroReservedHeader();

    unsigned long reported = 1;
    if (r.counting == Counting::RecordsAndHeader) reported = visited + 1ul;
    if (r.counting == Counting::Records) reported = visited;
    ReportAndSave(*object, shownName, typeCode, reported);
}
