#include "TagTypes.h"

namespace {
constexpr auto kNone = ReservedArea::None;
constexpr auto kIo = ReservedArea::IoHeader;
constexpr auto kAxle = ReservedArea::AxleHeader;
constexpr auto kWheel = ReservedArea::WheelHeader;
constexpr auto kCommon = ReservedArea::CommonHeader;
}  // namespace

// Rows are searched in order; the first row whose extension and header words
// match identifies a file. Producers write the type group and subcode in
// either order, hence the paired rows.
// The bound is left to the initialiser so that a row too many or too few
// conflicts with the declared row count.
const CTagTypeInfo g_TagTypes[] = {
    {0x007, L".007", 0x0501, 0, 7, 1, kIo},
    {0x007, L".007", 0x0501, 7, 0, 1, kIo},

    {0x010, L".010", 0x0501, 1, 0, 1, kAxle},
    {0x010, L".010", 0x0501, 0, 1, 1, kAxle},
    {0x010, L".010", 0x0000, 1, 0, 1, kAxle},
    {0x010, L".011", 0x0501, 1, 0, 1, kAxle},
    {0x010, L".011", 0x0501, 0, 1, 1, kAxle},

    {0x012, L".012", 0x0501, 1, 2, 1, kWheel},
    {0x012, L".012", 0x0501, 2, 1, 1, kWheel},
    {0x012, L".012", 0x0001, 1, 2, 1, kWheel},
    {0x012, L".012", 0x0001, 2, 1, 1, kWheel},
    {0x012, L".O12", 0x0501, 1, 2, 1, kWheel},
    {0x012, L".O12", 0x0501, 2, 1, 1, kWheel},
    {0x012, L".O12", 0x0001, 1, 2, 1, kWheel},
    {0x012, L".O12", 0x0001, 2, 1, 1, kWheel},
    {0x012, L".013", 0x0501, 1, 2, 1, kWheel},
    {0x012, L".013", 0x0501, 2, 1, 1, kWheel},
    {0x012, L".013", 0x0001, 1, 2, 1, kWheel},
    {0x012, L".013", 0x0001, 2, 1, 1, kWheel},
    {0x012, L".014", 0x0501, 1, 2, 1, kWheel},
    {0x012, L".014", 0x0501, 2, 1, 1, kWheel},
    {0x012, L".014", 0x0001, 1, 2, 1, kWheel},
    {0x012, L".015", 0x0501, 1, 2, 1, kWheel},
    {0x012, L".015", 0x0501, 2, 1, 1, kWheel},
    {0x012, L".015", 0x0001, 1, 2, 1, kWheel},

    {0x017, L".017", 0x0000, 1, 7, 1, ReservedArea::Records017},
    {0x018, L".018", 0x0000, 1, 8, 1, ReservedArea::Records018},
    {0x01A, L".01A", 0x0000, 1, 10, 1, ReservedArea::Records01A},
    {0x01D, L".01D", 0x0100, 1, 13, 1, kNone},
    {0x01F, L".01F", 0x0000, 1, 15, 1, kNone},
    {0x020, L".020", 0x0000, 2, 0, 1, ReservedArea::Records020},
    {0x021, L".021", 0x0000, 2, 1, 1, ReservedArea::Records021},
    {0x024, L".024", 0x0000, 2, 4, 1, ReservedArea::Records024},
    {0x031, L".031", 0x0000, 3, 1, 1, ReservedArea::Records031},
    {0x034, L".034", 0x0100, 4, 4, 1, ReservedArea::Records034},

    {0x035, L".035", 0x0100, 3, 5, 0, ReservedArea::Records035},
    {0x035, L".035", 0x0100, 5, 3, 0, ReservedArea::Records035},
    {0x035, L".037", 0x0100, 3, 5, 0, ReservedArea::Records035},
    {0x035, L".037", 0x0100, 5, 3, 0, ReservedArea::Records035},
    {0x035, L".038", 0x0100, 3, 5, 0, ReservedArea::Records035},
    {0x035, L".038", 0x0100, 5, 3, 0, ReservedArea::Records035},

    {0x036, L".036", 0x0501, 3, 6, 0, ReservedArea::Records036},

    {0x041, L".041", 0x0000, 4, 1, 1, ReservedArea::Records041},
    {0x041, L".041", 0x0000, 1, 4, 1, ReservedArea::Records041},
    {0x041, L".041", 0x0501, 4, 1, 1, ReservedArea::Records041},
    {0x041, L".041", 0x0501, 1, 4, 1, ReservedArea::Records041},

    {0x043, L".043", 0x0000, 4, 3, 1, ReservedArea::Records043},
    {0x043, L".043", 0x0000, 3, 4, 1, ReservedArea::Records043},
    {0x043, L".043", 0x0501, 4, 3, 1, ReservedArea::Records043},
    {0x043, L".043", 0x0501, 3, 4, 1, ReservedArea::Records043},

    {0x055, L".055", 0x0501, 5, 5, 1, kCommon},

    {0x060, L".060", 0x0100, 3, 0, 1, ReservedArea::Records060},
    {0x060, L".060", 0x0100, 0, 3, 1, ReservedArea::Records060},
    {0x060, L".061", 0x0100, 3, 0, 1, ReservedArea::Records060},
    {0x060, L".061", 0x0100, 0, 3, 1, ReservedArea::Records060},
    {0x060, L".062", 0x0100, 3, 0, 1, ReservedArea::Records060},
    {0x060, L".062", 0x0100, 0, 3, 1, ReservedArea::Records060},
    {0x060, L".063", 0x0100, 3, 0, 1, ReservedArea::Records060},
    {0x060, L".063", 0x0100, 0, 3, 1, ReservedArea::Records060},
    {0x060, L".064", 0x0100, 3, 0, 1, ReservedArea::Records060},
    {0x060, L".064", 0x0100, 0, 3, 1, ReservedArea::Records060},
    {0x060, L".065", 0x0100, 3, 0, 1, ReservedArea::Records060},
    {0x060, L".065", 0x0100, 0, 3, 1, ReservedArea::Records060},
    {0x060, L".066", 0x0100, 3, 0, 1, ReservedArea::Records060},
    {0x060, L".066", 0x0100, 0, 3, 1, ReservedArea::Records060},
    {0x060, L".067", 0x0100, 3, 0, 1, ReservedArea::Records060},
    {0x060, L".067", 0x0100, 0, 3, 1, ReservedArea::Records060},
    {0x060, L".068", 0x0100, 3, 0, 1, ReservedArea::Records060},
    {0x060, L".068", 0x0100, 0, 3, 1, ReservedArea::Records060},
    {0x060, L".069", 0x0100, 3, 0, 1, ReservedArea::Records060},
    {0x060, L".069", 0x0100, 0, 3, 1, ReservedArea::Records060},

    {0x070, L".070", 0x0501, 0, 112, 1, kCommon},
    {0x071, L".071", 0x0501, 0, 113, 1, ReservedArea::Header071},

    {0x001, L".CL1", 0x0000, 0, 1, 0, kNone},
    {0x001, L".LOG", 0x0000, 0, 1, 0, kNone},
    {0x001, L".LOG", 0x0100, 6, 0, 0, kNone},
    {0x120, L".120", 0x0001, 2, 0, 1, kNone},
    {0xFFF, L".XTR", 0x0100, 1, 0, 1, kNone},

    {0, L"", 0, 0, 0, 0, kNone},
};
